#include "app/mdlStart.h"

int main(int argc, char** argv) { return vyr::app::Main(argc, argv); }
