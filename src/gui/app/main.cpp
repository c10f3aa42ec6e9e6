#include "app/MainApp.h"

int main(int argc, char** argv)
{
    return runKorvalin(argc, argv);
}
