// The program's entry point.
#include "startup/startup.h"

int main(int argc, char** argv)
{
    shell_main(argc, argv);
}
