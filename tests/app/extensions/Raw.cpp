// An entry written without the C++ layer that lets a standard exception out.
#include <pavana/extension.h>

#include <stdexcept>

extern "C" void pavana_extension_main(PavanaDatabase*) { throw std::logic_error("lógica quebrada"); }
