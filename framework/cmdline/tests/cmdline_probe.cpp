// Parses its own command line with parse_or_exit and, when that returns,
// prints what it read. The exit handler shows that the parser ends the
// process through the normal termination path.

#include <cstdio>
#include <cstdlib>

#include "cmdline/parser.h"

int main(int argc, char **argv)
{
    std::atexit([] { std::fputs("exit handlers ran\n", stdout); });

    cmdline::parser p;
    p.add_option<int>("count", 'c', "how many", false, 3);
    p.add_option<std::string>("mode", 0, "mode", true, "");
    p.parse_or_exit(argc, argv);

    std::printf("count=%d mode=%s\n", p.value_of<int>("count"),
                p.value_of<std::string>("mode").c_str());
    return 0;
}
