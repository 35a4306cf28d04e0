#include "viewer_app.h"

int main(int argc, char** argv) {
    // The one application object: made before the framework starts, gone after it ends.
    CViewerApp theApp;
    return AfxWinMain(argc, argv);
}
