#include "player/demo_app.h"

int main(int argc, char** argv) { return RunDemoApp(argc, argv); }
