#pragma once

// Inputs that take decimal digits only, typed or pasted (the page numbers of the page-number tag,
// the n and m of an iterator, the positions and lengths of Substr and Delete rules).

class QLineEdit;

namespace sorvane {

// Lets `edit` take digits only (`on`), or any text again.
void SetDigitsOnly(QLineEdit* edit, bool on = true);

}  // namespace sorvane
