// tevlora-batch: the program's runs without a window.
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fputs("usage: tevlora-batch run FILE...\n", argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  return 2;
}
