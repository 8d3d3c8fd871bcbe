#include "programming/SheetValues.h"

namespace nbx {

ProgrammingState& programmingState()
{
    static ProgrammingState state;
    return state;
}

} // namespace nbx
