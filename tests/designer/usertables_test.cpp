// The designer's statements on a real store where the dialogs cannot show it: what a failure
// leaves behind, and what a type change does to stored values.

#include "designer/usertables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/storefixture.h"

namespace sorvane {
namespace {

TEST(UserTablesTest, AFieldWhoseColumnCannotBeAddedLeavesNoFieldRow) {
  test::StoreFixture f;
  std::vector<int> fids;
  const int taid = f.AddTable("T", 1, fids);
  f.Store().conn.Execute("drop table t" + std::to_string(taid));  // changed by hand
  EXPECT_THROW(AddUserField(f.Store(), taid, "lost", 0), StoreError);
  EXPECT_EQ(f.Scalar("select count(*) from flds where fti='lost'"), 0);
  EXPECT_EQ(f.Scalar("select count(*) from flds"), 1);
}

TEST(UserTablesTest, NarrowingCutsLongerValuesAndKeepsIdsAndTheUniqueIndex) {
  test::StoreFixture f;
  std::vector<int> fids;
  const int taid = f.AddTable("T", 1, fids);
  ChangeUserFieldType(f.Store(), taid, fids[0], 2);
  const std::string long_value(300, 'v');
  InsertFieldValue(f.Store(), taid, fids[0], "short");
  InsertFieldValue(f.Store(), taid, fids[0], long_value);
  CreateUniqueIndex(f.Store(), taid, fids[0]);
  EXPECT_EQ(UniqueFieldId(f.Store(), taid), fids[0]);

  ChangeUserFieldType(f.Store(), taid, fids[0], 0);
  EXPECT_EQ(f.Scalar("select typ from flds where fid=1"), 0);
  EXPECT_EQ(LoadFieldValues(f.Store(), taid, fids[0]),
            (std::vector<std::string>{"short", std::string(50, 'v')}));
  EXPECT_EQ(f.Scalar("select max(id) from t1"), 2);
  EXPECT_THROW(InsertFieldValue(f.Store(), taid, fids[0], "short"), StoreError);
  EXPECT_THROW(InsertFieldValue(f.Store(), taid, fids[0], std::string(51, 'n')), StoreError);
}

}  // namespace
}  // namespace sorvane
