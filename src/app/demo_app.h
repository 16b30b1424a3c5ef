// DemoApp: the program's start-up routine.
#pragma once

// Runs the whole program and returns its exit status.
int RunDemoApp(int argc, char** argv);
