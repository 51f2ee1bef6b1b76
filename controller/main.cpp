#include "controller/line_follower.hpp"

int main() {
    return line_follower_main();
}
