#include <stdio.h>

#include "config.h"

int main(void) {
  for (int i = 0; i < VOLUME; ++i) {
    printf("Hello\n");
  }
  return 0;
}
