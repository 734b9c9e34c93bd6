// The runtime's process-wide state, in one place.
#include "services/runtime/random.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"

namespace runtime {

std::uint16_t ERRORCODE = 0;
const void* ERRORADDR = nullptr;
const void* ERRORBASE = nullptr;
ExitProc EXITPROC = nullptr;
std::uint16_t INOUTRES = 0;

std::uint32_t RANDSEED = 0;
std::uint32_t OLDRANDSEED = 0;
bool INITIALSEED = true;
std::uint32_t SEED2 = 0;
std::uint32_t SEED3 = 0;

TEXTREC INPUT, OUTPUT, STDOUT, STDERR;

}  // namespace runtime
