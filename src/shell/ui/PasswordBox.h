// The device password boxes of the password dialogs.
#pragma once

class QLineEdit;

namespace nbx {

// A QLineEdit set up for a device password: hidden echo, at most four characters, only
// printable characters Windows-1252 can carry.
void setUpPasswordBox(QLineEdit* box);

} // namespace nbx
