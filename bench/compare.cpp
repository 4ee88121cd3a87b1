// Times kelvoran against the floor program and the Fortran peer on the same
// input: first checks that each writes the same output file, then runs them
// interleaved (one round runs each once, in a random order, the output
// removed outside the timed region) and reports medians of the per-round
// time ratios, peak memory and minor page faults.
//
// Usage: compare INPUT WORKDIR ROUNDS RESULT NAME=PROGRAM...
// The first program is the one the ratios are taken for; it must write an
// output file. NAME:reads=PROGRAM runs a program that only reads the
// input (PROGRAM INPUT), NAME:verifies=PROGRAM one that reads the input
// and the first program's output (PROGRAM INPUT OUTPUT); each must exit 0.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Program {
  enum Mode { writes, reads, verifies } mode;
  std::string name, path;
  std::vector<double> ms;
  std::vector<long> maxrss_kb, minflt;
};

struct Run {
  int status;
  double ms;
  long maxrss_kb, minflt;
};

Run run(const std::string& path, const std::string& in, const char* out) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execl(path.c_str(), path.c_str(), in.c_str(), out, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  const auto end = std::chrono::steady_clock::now();
  return {status, std::chrono::duration<double, std::milli>(end - start).count(),
          ru.ru_maxrss, ru.ru_minflt};
}

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

template <typename T>
double median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  const auto n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: compare INPUT WORKDIR ROUNDS RESULT NAME=PROGRAM...\n");
    return 2;
  }
  const std::string input = argv[1], dir = argv[2], result = argv[4];
  const int rounds = std::atoi(argv[3]);
  std::vector<Program> programs;
  for (int i = 5; i < argc; ++i) {
    const std::string a = argv[i];
    const auto eq = a.find('=');
    std::string name = a.substr(0, eq);
    auto mode = Program::writes;
    if (const auto colon = name.find(':'); colon != std::string::npos) {
      mode = name.substr(colon + 1) == "verifies" ? Program::verifies : Program::reads;
      name.resize(colon);
    }
    programs.push_back({mode, name, a.substr(eq + 1), {}, {}, {}});
  }
  if (programs[0].mode != Program::writes) {
    std::fprintf(stderr, "the first program must write an output\n");
    return 2;
  }
  // The first program's output, kept for the programs that verify it.
  const std::string kept = dir + "/reference.dat";
  auto run_program = [&](const Program& p, const std::string& out) {
    if (p.mode == Program::reads) return run(p.path, input, nullptr);
    return run(p.path, input, p.mode == Program::verifies ? kept.c_str() : out.c_str());
  };

  // Same output file from every program, else the timing means nothing.
  std::string reference;
  for (auto& p : programs) {
    const std::string out = dir + "/check-" + p.name + ".dat";
    unlink(out.c_str());
    const Run r = run_program(p, out);
    if (!WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0) {
      std::fprintf(stderr, "%s failed on the input\n", p.name.c_str());
      return 1;
    }
    if (p.mode != Program::writes) continue;
    if (reference.empty()) rename(out.c_str(), kept.c_str());
    const std::string bytes = slurp(reference.empty() ? kept : out);
    unlink(out.c_str());
    if (reference.empty()) reference = bytes;
    if (bytes != reference) {
      std::fprintf(stderr, "%s wrote a different output file\n", p.name.c_str());
      return 1;
    }
  }

  // Each round runs the programs in a new random order (the same sequence
  // every time), so each follows each of the others about equally often: a
  // run right after the long Fortran peer is 0.6 to 1 ms slower here, the
  // system still settling after it, and a fixed order would charge that to
  // the same program every round.
  // Only its size is needed from here on. Held, its 5 MB would be copied
  // into every child's page tables by fork, inside the timed region.
  const std::size_t output_size = reference.size();
  std::string().swap(reference);

  const std::string out = dir + "/timed.dat";
  std::vector<std::size_t> order(programs.size());
  std::iota(order.begin(), order.end(), 0);
  std::mt19937 shuffler(20261209);
  for (int round = 0; round < rounds; ++round) {
    std::shuffle(order.begin(), order.end(), shuffler);
    for (const std::size_t i : order) {
      auto& p = programs[i];
      unlink(out.c_str());
      const Run r = run_program(p, out);
      if (!WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0) {
        std::fprintf(stderr, "%s failed in round %d\n", p.name.c_str(), round);
        return 1;
      }
      p.ms.push_back(r.ms);
      p.maxrss_kb.push_back(r.maxrss_kb);
      p.minflt.push_back(r.minflt);
    }
  }
  unlink(out.c_str());
  unlink(kept.c_str());

  std::ostringstream t;
  char line[256];
  std::snprintf(line, sizeof line, "%d rounds, output %zu bytes, identical for all programs that write one\n\n",
                rounds, output_size);
  t << line;
  t << "| program | median ms | median ratio " << programs[0].name
    << "/program | peak memory MB | minor faults |\n|---|---|---|---|---|\n";
  for (const auto& p : programs) {
    std::vector<double> ratio;
    for (int i = 0; i < rounds; ++i) ratio.push_back(programs[0].ms[i] / p.ms[i]);
    const long peak = *std::max_element(p.maxrss_kb.begin(), p.maxrss_kb.end());
    std::snprintf(line, sizeof line, "| %s | %.2f | %.3f | %.1f | %.0f |\n", p.name.c_str(),
                  median(p.ms), median(ratio), peak / 1024.0, median(p.minflt));
    t << line;
  }
  std::fputs(t.str().c_str(), stdout);
  std::ofstream(result) << t.str();
  return 0;
}
