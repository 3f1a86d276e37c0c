#include "startup.h"

int main(int argc, char **argv)
{
    return folioset::runApplication(folioset::Edition::Folioset2, argc, argv);
}
