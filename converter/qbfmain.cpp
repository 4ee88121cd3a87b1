// Process entry: store the command line, run the converter, end normally.
#include "fio.h"
#include "ftn.h"
#include "qbc.h"

int main(int argc, char** argv) {
  __qbio_set_argc(argc);
  __qbio_set_argv(argv);
  MAIN_();
  ftn_exit(0);
}
