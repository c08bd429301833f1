#include <cstdint>
#include <vector>

#include "dao/DAOParams.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"

// Reads any byte block as a stored parameter list; a list that reads is written and read again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavana;
    TParams list;
    TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
    try {
        list.ReadData(in);
    } catch (const Exception&) {
        return 0;
    }
    TMemoryStream out;
    try {
        list.WriteData(out);
    } catch (const Exception&) {
        return 0;
    }
    out.SetPosition(0);
    TParams again;
    again.ReadData(out);
    return 0;
}
