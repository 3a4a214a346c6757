#include <gtest/gtest.h>

#include "engine/core/ArcFileAttr.h"
#include "engine/core/ArcTimer.h"

using namespace quil;

TEST(ArcFileAttr, ViewsFollowTheirBits) {
  using A = TArcFileAttr;
  struct View {
    int32_t bit;
    bool (A::*get)() const;
    void (A::*set)(bool);
  } views[] = {
      {A::faArchive, &A::ftArchive, &A::SetftArchive},
      {A::faHidden, &A::ftHidden, &A::SetftHidden},
      {A::faReadOnly, &A::ftReadOnly, &A::SetftReadOnly},
      {A::faSysFile, &A::ftSysFile, &A::SetftSysFile},
      {A::faVolumeID, &A::ftVolumeID, &A::SetftVolumeID},
      {A::faDirectory, &A::ftDirectory, &A::SetftDirectory},
  };
  for (const View& v : views) {
    A a;
    EXPECT_EQ(a.ftFileAttr(), 63);  // default: everything
    EXPECT_TRUE((a.*v.get)());
    (a.*v.set)(false);
    EXPECT_EQ(a.ftFileAttr(), 63 & ~v.bit) << v.bit;
    EXPECT_FALSE((a.*v.get)());
    EXPECT_FALSE(a.ftAnyFile());
    (a.*v.set)(false);  // clearing a clear bit leaves it clear
    EXPECT_EQ(a.ftFileAttr(), 63 & ~v.bit) << v.bit;
    a.SetftFileAttr(0);
    (a.*v.set)(true);
    EXPECT_EQ(a.ftFileAttr(), v.bit);
    EXPECT_TRUE((a.*v.get)());
  }
}

TEST(ArcFileAttr, MaskRangeAnyFileAndAssign) {
  TArcFileAttr a;
  a.SetftFileAttr(0x21);
  for (int32_t bad : {64, -1, 1000}) {
    a.SetftFileAttr(bad);
    EXPECT_EQ(a.ftFileAttr(), 0x21) << bad;
  }
  a.SetftAnyFile(false);  // no effect
  EXPECT_EQ(a.ftFileAttr(), 0x21);
  a.SetftAnyFile(true);
  EXPECT_EQ(a.ftFileAttr(), 63);
  EXPECT_TRUE(a.ftAnyFile());

  TArcFileAttr b;
  a.SetftFileAttr(0x12);
  b.Assign(a);
  EXPECT_EQ(b.ftFileAttr(), 0x12);
  EXPECT_TRUE(b.ftDirectory());
  EXPECT_TRUE(b.ftHidden());
  EXPECT_FALSE(b.ftArchive());
}

TEST(ArcTimer, StartAndStop) {
  TArcTimer t;
  t.Stop();  // not started: nothing happens
  EXPECT_FALSE(t.Running());
  EXPECT_EQ(t.Elapsed(), 0.0f);
  t.Start();
  EXPECT_TRUE(t.Running());
  t.Stop();
  EXPECT_FALSE(t.Running());
  const float first = t.Elapsed();
  EXPECT_GE(first, 0.0f);
  t.Stop();  // a second Stop keeps the measurement
  EXPECT_EQ(t.Elapsed(), first);
  t.Start();
  EXPECT_EQ(t.Elapsed(), 0.0f);  // Start clears it
}
