#include "cli/cli.h"

int main(int argc, char** argv) { return pixmill::cli::Main(argc, argv); }
