#include "Gui/QuillaG.h"

int main(int argc, char** argv)
{
    return runQuillaG(argc, argv);
}
