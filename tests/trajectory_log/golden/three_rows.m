A = [
0.016000 0.100000 -0.250000 4.710000 4.710000
0.032000 -1.234568 0.000000 -6.280000 6.280000
0.048000 0.000000 0.000000 0.000000 0.000000
];
time   = A(:,1);
x      = A(:,2);
y      = A(:,3);
omegaL = A(:,4);
omegaR = A(:,5);
figure(1);
plot(x,y,'+');
ylabel('y');
xlabel('x');
figure(2);
plot(time,omegaL,time,omegaR);
ylabel('omegaL (blue), omegaR (red)');
xlabel('time');
