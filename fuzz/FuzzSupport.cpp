// Linked into every fuzz target: warnings for bad input are expected, and printing them would
// slow every run.
#include <QtGlobal>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}
