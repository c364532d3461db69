#include <cstdio>

int main() {
  std::printf("Quillark %s\n", QUILLARK_VERSION);
  return 0;
}
