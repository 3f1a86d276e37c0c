#include "startup.h"

int main(int argc, char **argv)
{
    return folioset::runApplication(folioset::Edition::Folioset1, argc, argv);
}
