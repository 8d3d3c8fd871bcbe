// TEMPORARY stub, replaced by the full built-in string table.
#include "localisation/Strings.h"

namespace nbx {
QString GetNativeString(long id, const QString& prefix) { return prefix + QString::number(id); }
QString GetS(long id, std::initializer_list<QString>) { return GetNativeString(id, QStringLiteral("GetS: Unknown String ID ")); }
} // namespace nbx
