// qvxpack's entry point on Linux, whose arguments are bytes as given.
#include <string>
#include <vector>

#include "tools/qvxpack/commands.h"

int main(int argc, char** argv) {
  return qvx::pack::RunQvxpack(std::vector<std::string>(argv + 1, argv + argc));
}
