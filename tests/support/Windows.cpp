#include "Windows.h"

namespace nbx::test {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace nbx::test
