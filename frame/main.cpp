#include "frame/lifecycle.h"

int main(int argc, char** argv) { return node_main(argc, argv); }
