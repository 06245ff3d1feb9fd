#include "app/app_main.h"

int main(int argc, char** argv) {
    return vq::app::RunQuillet(argc, argv);
}
