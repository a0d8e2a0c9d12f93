// pixmill-cli as a function: the whole command line run, its exit status
// returned (0 done, 1 a step failed, 2 usage error).
#pragma once

namespace pixmill::cli {

int Main(int argc, char** argv);

}  // namespace pixmill::cli
