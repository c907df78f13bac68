#pragma once

// The field choice both column dialogs show ("Table field:"): an empty entry for no field, then
// the fields of the target table, each holding its id.

#include <string>
#include <vector>

#include "authoring/pickitems.h"

class QComboBox;

namespace sorvane {

// Fills `box` with the empty entry and `fields` (LoadFieldItems, pickitems.h), with no entry
// chosen.
void FillFieldChoice(QComboBox* box, const std::vector<PickItem>& fields);
// Chooses the first entry holding field `fid`; when none does, the choice stays.
void ChooseField(QComboBox* box, int fid);
// The chosen field's id, 0 for none or the empty entry.
int ChosenFieldID(const QComboBox* box);
// The chosen field's title as bytes, empty for none.
std::string ChosenFieldName(const QComboBox* box);

}  // namespace sorvane
