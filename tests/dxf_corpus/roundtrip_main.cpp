// dxf_corpus_roundtrip IN OUT: opens the drawing IN as the program does and saves it, unchanged,
// to OUT. Exit 0 on success; otherwise the message on stderr and exit 1.
#include <exception>
#include <iostream>
#include <string>

#include "board/files/drawing_file.h"
#include "board/model/application.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: dxf_corpus_roundtrip IN.dxf OUT.dxf\n";
        return 1;
    }
    try {
        const auto application = pelimator::board::BoardApplication::Create();
        const pelimator::board::OpenedDrawing opened =
            pelimator::board::OpenDrawing(*application, argv[1]);
        pelimator::board::SaveDrawing(*opened.document, argv[2]);
    } catch (const std::exception& error) {
        std::cerr << argv[1] << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
