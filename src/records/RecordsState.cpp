#include "records/RecordsState.h"

namespace nbx {

RecordsState& recordsState()
{
    static RecordsState state;
    return state;
}

} // namespace nbx
