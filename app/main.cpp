#include "app/entry/program.h"

int main(int argc, char** argv) { return vebix::runProgram(argc, argv); }
