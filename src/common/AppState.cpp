#include "common/AppState.h"

namespace nbx {

AppState& appState()
{
    static AppState state;
    return state;
}

} // namespace nbx
