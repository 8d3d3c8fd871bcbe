// Interface of controls that hold lists of translatable texts (grids, charts).
#pragma once

#include <QStringList>

namespace nbx {

// Implemented by grid and chart wrappers. texts() lists the translatable texts in a fixed order:
// a grid its caption, then its column captions (hidden columns included) only while its column
// headers are shown, then its split captions; a chart the series labels of each chart group in
// turn. setTexts() receives a list of the same length; texts may hold CR (or CR LF) line breaks,
// which the wrapper shows as line breaks.
class TranslatableTexts {
public:
    virtual ~TranslatableTexts() = default;
    virtual QStringList texts() const = 0;
    virtual void setTexts(const QStringList& texts) = 0;
};

} // namespace nbx
