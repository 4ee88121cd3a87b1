// Process entry: store the command line, run the converter, end normally.
#include <csignal>

#include "fio.h"
#include "ftn.h"
#include "qbc.h"

int main(int argc, char** argv) {
  // A reader that goes away (`kelvoran in out | head`) and a file-size
  // limit would otherwise kill the process without a word, possibly inside
  // a record. Ignored, they make the write fail, and the failure is reported
  // like any other, with the statement and unit it happened on.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  __qbio_set_argc(argc);
  __qbio_set_argv(argv);
  MAIN_();
  ftn_exit(0);
}
