/* A program of a user of the installed library: C, the public headers only. */
#include <stdio.h>

#include <vkmsg/vkmsg.h>

int main(void) {
  CMC_return_code r = cmc_query_configuration(0, 0, NULL, NULL);
  int tree = isVeskMsgDir("/nonexistent/vkmsg-consumer");
  printf("query %u tree %d\n", (unsigned)r, tree);
  return r == CMC_SUCCESS && tree == 0 ? 0 : 1;
}
