# The two commands a newcomer needs:
#   make run    builds the controller and drives the robot around the default world
#   make test   builds everything and runs the whole test suite
# Further: make deps, make build, make asan (the suite under ASan + UBSan), make bench,
# make time-run (wall time of whole runs), make format, make clean.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build test run asan bench time-run format format-check clean

all: build

deps:
	@scripts/install-deps.sh

build/CMakeCache.txt: | deps
	cmake --preset release

build: deps build/CMakeCache.txt
	cmake --build --preset release -j $(JOBS)

test: build
	ctest --preset release -j $(JOBS)

run: build
	@scripts/run.sh

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench: build
	@scripts/bench.sh

time-run: build
	@scripts/time_run.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp' '*.h' '*.c')

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.hpp' '*.h' '*.c')

clean:
	rm -rf build
