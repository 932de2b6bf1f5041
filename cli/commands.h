// The subcommands of the command-line tool, each a function from arguments and output
// streams to the program's exit status. They stream their files: memory does not grow with
// the input's size.
//
// Contracts:
// - run_instrument(source, output, out, err): writes the work file's bytes for `source`
//   (exactly what qvload writes) to the file `output`, or to `out` when `output` is "-".
//   0 on success; on failure one line "qv: FILE: MESSAGE" on `err` (the qvload failure
//   message, FILE the file it concerns) and 1.
// - run_depth(file, out, err): the depth listing's rows of `file`, each ended by "\n", on
//   `out`. 0 on success; 2 with "qv: FILE: cannot read file" on `err` when the file cannot
//   be opened or read.
// - run_check(files, out, err): the balance diagnostics of each file, "FILE:LINE: KIND:
//   MESSAGE" lines on `out`, nothing for a balanced file. 0 when every file balances, 1 when
//   any does not, 2 when any cannot be read (reported on `err` as for run_depth; the other
//   files are still checked).
#ifndef QV_CLI_COMMANDS_H
#define QV_CLI_COMMANDS_H

#include <cstdio>
#include <string>
#include <vector>

namespace qv {

// Name standing for standard output as the instrument subcommand's output.
extern const char kStandardOutput[];
// Message for a file that the depth and check subcommands cannot read.
extern const char kCannotReadInput[];

int run_instrument(const std::string &source, const std::string &output, std::FILE *out,
                   std::FILE *err);
int run_depth(const std::string &file, std::FILE *out, std::FILE *err);
int run_check(const std::vector<std::string> &files, std::FILE *out, std::FILE *err);

// The whole program: parses the command line and runs a subcommand. Help and version go
// to standard output with status 0; usage errors to standard error with status 2.
int tool_main(int argc, char **argv);

}  // namespace qv

#endif  // QV_CLI_COMMANDS_H
