#include "app/CZARN40App.h"

int main(int argc, char* argv[]) {
    return zarn::app::runApplication(argc, argv);
}
