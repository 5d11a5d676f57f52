#include "app/VelkSTKApp.h"

// The one application object, constructed before the entry point runs.
static CVelkSTKAppApp theApp;

int main(int argc, char** argv) { return AfxWinMain(argc, argv); }
