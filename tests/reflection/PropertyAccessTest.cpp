// Typed reads and writes of property values: the boolean bit rule, the class checks that keep
// a read from taking one layout for another, and member access inside struct values.
#include "support/EngineFixture.hpp"

#include "reflection/PropertyAccess.hpp"

#include <Sim/Types.hpp>

#include <cstring>

namespace
{
using namespace RC::Unreal;
using namespace Orv;

class PropertyAccess : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        Sim::DefineEnum({L"/Script/Test.EMode", {{L"Off", 0}, {L"On", 7}}});
        Sim::DefineStruct({L"/Script/Test.CountedTag", {}, {{L"TagName", Sim::Int()}}});
        Sim::DefineStruct({L"/Script/Test.Settings",
                           {},
                           {{L"Bias", Sim::Float()},
                            {L"Wide", Sim::Double()},
                            {L"Count", Sim::Int()},
                            {L"bOverride", Sim::Bitfield()},
                            {L"bOther", Sim::Bitfield()},
                            {L"Region", Sim::Name()},
                            {L"Tag", Sim::Struct(L"/Script/GameplayTags.GameplayTag")},
                            {L"bNativeMember", Sim::Bool()},
                            {L"Counted", Sim::Struct(L"/Script/Test.CountedTag")}}});
        auto* cls = Sim::DefineClass({.path = L"/Script/Test.Thing",
                                      .properties = {{L"b0", Sim::Bitfield()},
                                                     {L"b1", Sim::Bitfield()},
                                                     {L"b2", Sim::Bitfield()},
                                                     {L"b3", Sim::Bitfield()},
                                                     {L"Settings", Sim::Struct(L"/Script/Test.Settings")},
                                                     {L"Owner", Sim::Object()},
                                                     {L"Held", Sim::ObjectPtr()},
                                                     {L"Label", Sim::Name()},
                                                     {L"Big", Sim::Int64()},
                                                     {L"Mode", Sim::Enum(L"/Script/Test.EMode")},
                                                     {L"Ratio", Sim::Float()},
                                                     {L"bNative", Sim::Bool()},
                                                     {L"Small", Sim::Byte()},
                                                     {L"Whole", Sim::Int()},
                                                     {L"Short", Sim::UInt16()},
                                                     {L"Unsigned", Sim::UInt32()},
                                                     {L"Huge", Sim::UInt64()},
                                                     {L"Precise", Sim::Double()},
                                                     {L"Text", Sim::Str()},
                                                     {L"w0", Sim::Bitfield32()},
                                                     {L"w1", Sim::Bitfield32()},
                                                     {L"w2", Sim::Bitfield32()},
                                                     {L"w3", Sim::Bitfield32()},
                                                     {L"w4", Sim::Bitfield32()},
                                                     {L"w5", Sim::Bitfield32()},
                                                     {L"w6", Sim::Bitfield32()},
                                                     {L"w7", Sim::Bitfield32()},
                                                     {L"w8", Sim::Bitfield32()}}});
        thing_ = Sim::NewObject(cls, nullptr, L"Thing");
        Sim::ResetCounters();
    }

    FProperty* Prop(const wchar_t* name) { return reflection_.LookupProperty(thing_, name); }
    void* At(const wchar_t* name) { return PropertyAddress(reflection_, thing_, name); }

    Reflection reflection_;
    UObject* thing_ = nullptr;
};

TEST_F(PropertyAccess, BooleansSharingAByteReadAndWriteOnlyTheirOwnBit)
{
    auto* byte = static_cast<uint8*>(At(L"b3"));
    ASSERT_EQ(byte, At(L"b0")) << "four bitfields share one byte";
    *byte = 0xF7; // every bit but bit 3
    EXPECT_FALSE(ReadBoolProperty(reflection_, thing_, L"b3"));
    EXPECT_TRUE(ReadBoolProperty(reflection_, thing_, L"b2"));
    EXPECT_TRUE(WriteBoolProperty(reflection_, thing_, L"b3", true));
    EXPECT_EQ(*byte, 0xFF);
    EXPECT_TRUE(WriteBoolProperty(reflection_, thing_, L"b0", false));
    EXPECT_EQ(*byte, 0xFE) << "false clears exactly the field mask";

    EXPECT_FALSE(WriteBoolProperty(reflection_, thing_, L"Ratio", true)) << "not a BoolProperty";
    std::memset(At(L"Ratio"), 0xFF, 4);
    EXPECT_FALSE(ReadBoolProperty(reflection_, thing_, L"Ratio")) << "nor read as one";
    EXPECT_FALSE(WriteBoolProperty(reflection_, thing_, L"Missing", true));
    EXPECT_FALSE(ReadBoolProperty(reflection_, nullptr, L"b0"));
}

TEST_F(PropertyAccess, StructMembersAreReachedAndWrittenWithTheirOwnWidth)
{
    FProperty* member = nullptr;
    auto* bias = ObjectStructMemberAddress(reflection_, thing_, L"Settings", L"Bias", &member);
    ASSERT_NE(bias, nullptr);
    EXPECT_EQ(PropertyClassOf(member), PropertyClass::Float);

    EXPECT_TRUE(WriteRealMember(reflection_, thing_, L"Settings", L"Bias", 1.5f));
    EXPECT_TRUE(WriteRealMember(reflection_, thing_, L"Settings", L"Wide", 0.1f));
    auto* settings = static_cast<uint8*>(At(L"Settings"));
    float storedFloat = 0;
    double storedDouble = 0;
    std::memcpy(&storedFloat, bias, 4);
    std::memcpy(&storedDouble, settings + 8, 8);
    EXPECT_EQ(storedFloat, 1.5f);
    EXPECT_EQ(storedDouble, static_cast<double>(0.1f)) << "widened, not re-rounded";

    std::memset(settings + 16, 0x5A, 4);
    EXPECT_FALSE(WriteRealMember(reflection_, thing_, L"Settings", L"Count", 2.0f));
    EXPECT_EQ(settings[16], 0x5A) << "an integer member is left untouched";

    EXPECT_TRUE(WriteBoolMember(reflection_, thing_, L"Settings", L"bOther", true));
    EXPECT_TRUE(ReadBoolMember(Prop(L"Settings"), settings, L"bOther"));
    EXPECT_FALSE(ReadBoolMember(Prop(L"Settings"), settings, L"bOverride"));
    EXPECT_FALSE(WriteBoolMember(reflection_, thing_, L"Settings", L"Bias", true));
    std::memset(bias, 0xFF, 4);
    EXPECT_FALSE(ReadBoolMember(Prop(L"Settings"), settings, L"Bias")) << "a float member is no bool, whatever its bits";
}

TEST_F(PropertyAccess, MemberLookupRefusesNonStructsAndClearsTheMemberOutput)
{
    FProperty* member = Prop(L"Ratio");
    EXPECT_EQ(StructMemberAddress(Prop(L"Owner"), At(L"Owner"), L"Bias", &member), nullptr);
    EXPECT_EQ(member, nullptr);
    member = Prop(L"Ratio");
    EXPECT_EQ(StructMemberAddress(Prop(L"Settings"), At(L"Settings"), L"NoSuchMember", &member), nullptr);
    EXPECT_EQ(member, nullptr);
    EXPECT_EQ(StructMemberAddress(Prop(L"Settings"), nullptr, L"Bias"), nullptr);
    EXPECT_EQ(ObjectStructMemberAddress(reflection_, thing_, L"NoSuchStruct", L"Bias"), nullptr);
    member = Prop(L"Ratio");
    EXPECT_EQ(ObjectStructMemberAddress(reflection_, thing_, L"NoSuchStruct", L"Bias", &member), nullptr);
    EXPECT_EQ(member, nullptr) << "cleared also when the struct itself is missing";
    member = Prop(L"Ratio");
    EXPECT_EQ(StructMemberAddress(nullptr, At(L"Settings"), L"Bias", &member), nullptr);
    EXPECT_EQ(member, nullptr);
}

TEST_F(PropertyAccess, RealAndBoolMemberWritesFailWhereThereIsNoMember)
{
    auto* settings = static_cast<uint8*>(At(L"Settings"));
    std::vector<uint8> before(settings, settings + Prop(L"Settings")->GetElementSize());
    EXPECT_FALSE(WriteRealMember(reflection_, thing_, L"Settings", L"NoSuchMember", 1.0f));
    EXPECT_FALSE(WriteRealMember(reflection_, thing_, L"NoSuchStruct", L"Bias", 1.0f));
    EXPECT_FALSE(WriteRealMember(reflection_, nullptr, L"Settings", L"Bias", 1.0f));
    EXPECT_FALSE(WriteBoolMember(reflection_, thing_, L"Settings", L"NoSuchMember", true));
    EXPECT_FALSE(WriteBoolMember(reflection_, thing_, L"NoSuchStruct", L"bOther", true));
    EXPECT_EQ(std::vector<uint8>(settings, settings + before.size()), before);
    EXPECT_FALSE(ReadBoolMember(Prop(L"Settings"), settings, L"NoSuchMember"));
    EXPECT_FALSE(ReadBoolMember(Prop(L"Owner"), settings, L"bOther"));
}

// Probing a struct for a member must not grow the engine's name table with the probed name.
TEST_F(PropertyAccess, ProbingAStructForAMemberOnlyLooksItsNameUp)
{
    FProperty* settings = Prop(L"Settings");
    void* value = At(L"Settings");
    Sim::ResetCounters();
    EXPECT_EQ(StructMemberAddress(settings, value, L"NeverNamedMember"), nullptr);
    EXPECT_EQ(Sim::Counters().NameFind, 1u);
    EXPECT_TRUE(FName(STR("NeverNamedMember"), FNAME_Find).IsNone());
}

// A native bool owns its whole byte (field mask 0xFF) and stores true as 1 (its byte mask); a
// 32-bit bitfield keeps bit 8 in the second byte of its field.
TEST_F(PropertyAccess, NativeBoolsAndWideBitfieldsFollowTheirOwnMasksAndByte)
{
    auto* native = static_cast<uint8*>(At(L"bNative"));
    *native = 0x04;
    EXPECT_TRUE(ReadBoolProperty(reflection_, thing_, L"bNative")) << "any bit of the field";
    *native = 0xFE;
    EXPECT_TRUE(WriteBoolProperty(reflection_, thing_, L"bNative", false));
    EXPECT_EQ(*native, 0x00) << "false clears the whole field mask";
    EXPECT_TRUE(WriteBoolProperty(reflection_, thing_, L"bNative", true));
    EXPECT_EQ(*native, 0x01) << "true is the byte mask, not the field mask";

    auto* settings = static_cast<uint8*>(At(L"Settings"));
    FProperty* member = nullptr;
    auto* nativeMember = static_cast<uint8*>(StructMemberAddress(Prop(L"Settings"), settings, L"bNativeMember", &member));
    ASSERT_NE(nativeMember, nullptr);
    *nativeMember = 0x80;
    EXPECT_TRUE(ReadBoolMember(Prop(L"Settings"), settings, L"bNativeMember"));
    EXPECT_TRUE(WriteBoolMember(reflection_, thing_, L"Settings", L"bNativeMember", true));
    EXPECT_EQ(*nativeMember, 0x01);

    auto* field = static_cast<uint8*>(At(L"w8"));
    ASSERT_EQ(field, At(L"w0")) << "nine bits of one 32-bit field";
    EXPECT_TRUE(WriteBoolProperty(reflection_, thing_, L"w8", true));
    EXPECT_EQ(field[0], 0x00);
    EXPECT_EQ(field[1], 0x01);
    field[1] = 0xFE;
    field[0] = 0x01;
    EXPECT_FALSE(ReadBoolProperty(reflection_, thing_, L"w8"));
    EXPECT_TRUE(ReadBoolProperty(reflection_, thing_, L"w0"));
    EXPECT_FALSE(ReadBoolProperty(reflection_, thing_, L"w1"));
}

// Each class name the host reports decides the layout a read trusts; the names are exact.
TEST_F(PropertyAccess, PropertyClassesAreToldApartByTheirExactNames)
{
    struct Case
    {
        const wchar_t* property;
        PropertyClass kind;
    };
    for (auto [property, kind] : {Case{L"b0", PropertyClass::Bool}, Case{L"bNative", PropertyClass::Bool},
                                  Case{L"Settings", PropertyClass::Struct}, Case{L"Held", PropertyClass::ObjectPtr},
                                  Case{L"Label", PropertyClass::Name}, Case{L"Mode", PropertyClass::Enum},
                                  Case{L"Small", PropertyClass::Byte}, Case{L"Whole", PropertyClass::Int},
                                  Case{L"Big", PropertyClass::Int64}, Case{L"Short", PropertyClass::UInt16},
                                  Case{L"Unsigned", PropertyClass::UInt32}, Case{L"Huge", PropertyClass::UInt64},
                                  Case{L"Ratio", PropertyClass::Float}, Case{L"Precise", PropertyClass::Double},
                                  Case{L"Text", PropertyClass::Str}})
    {
        EXPECT_EQ(PropertyClassOf(Prop(property)), kind) << property;
    }
    EXPECT_EQ(PropertyClassOf(nullptr), PropertyClass::Other);
}

TEST_F(PropertyAccess, SmallUnsignedReadsAcceptEveryIntegerKindAndNothingElse)
{
    struct Case
    {
        const wchar_t* property;
        uint64 stored;
        bool accepted;
        uint8 low;
    };
    for (auto [property, stored, accepted, low] :
         {Case{L"Small", 200, true, 200}, Case{L"Whole", 300, true, 44}, Case{L"Big", 0x1234, true, 0x34},
          Case{L"Short", 511, true, 255}, Case{L"Unsigned", 256, true, 0}, Case{L"Huge", 0x100000001, true, 1},
          Case{L"Mode", 7, true, 7}, Case{L"Ratio", 0, false, 0}, Case{L"Precise", 0, false, 0},
          Case{L"bNative", 1, false, 0}, Case{L"Label", 0, false, 0}, Case{L"Owner", 0, false, 0}})
    {
        std::memcpy(At(property), &stored, static_cast<std::size_t>(Prop(property)->GetElementSize()));
        uint8 value = 99;
        EXPECT_EQ(ReadSmallUnsigned(Prop(property), At(property), value), accepted) << property;
        EXPECT_EQ(value, accepted ? low : 99) << property;
    }
}

TEST_F(PropertyAccess, AMissingPropertyIsNullAndAskedOnlyOnce)
{
    EXPECT_EQ(PropertyAddress(reflection_, thing_, L"OrthoWidth"), nullptr);
    EXPECT_EQ(PropertyAddress(reflection_, thing_, L"OrthoWidth"), nullptr);
    EXPECT_EQ(Sim::Counters().PropertyWalks, 1u);
    EXPECT_EQ(PropertyAddress(reflection_, nullptr, L"Ratio"), nullptr);
}

TEST_F(PropertyAccess, ObjectReferencesAreReadOnlyFromObjectProperties)
{
    UObject* other = Sim::NewObject(thing_->GetClassPrivate(), nullptr, L"Other");
    std::memcpy(At(L"Owner"), &other, 8);
    std::memcpy(At(L"Held"), &other, 8);
    std::memcpy(At(L"Big"), &other, 8);
    EXPECT_EQ(ReadObjectProperty(Prop(L"Owner"), At(L"Owner")), other);
    EXPECT_EQ(ReadObjectProperty(Prop(L"Held"), At(L"Held")), other);
    EXPECT_EQ(ReadObjectProperty(Prop(L"Big"), At(L"Big")), nullptr);
    EXPECT_EQ(ReadObjectProperty(nullptr, At(L"Owner")), nullptr);
    EXPECT_EQ(ReadObjectProperty(Prop(L"Owner"), nullptr), nullptr);
}

TEST_F(PropertyAccess, SmallUnsignedReadsTakeTheLowByteOfIntegersAndEnums)
{
    int64 big = 300;
    std::memcpy(At(L"Big"), &big, 8);
    *static_cast<uint8*>(At(L"Mode")) = 7;
    uint8 value = 99;
    EXPECT_TRUE(ReadSmallUnsigned(Prop(L"Big"), At(L"Big"), value));
    EXPECT_EQ(value, 44);
    EXPECT_TRUE(ReadSmallUnsigned(Prop(L"Mode"), At(L"Mode"), value));
    EXPECT_EQ(value, 7);
    value = 99;
    EXPECT_FALSE(ReadSmallUnsigned(Prop(L"Ratio"), At(L"Ratio"), value));
    EXPECT_FALSE(ReadSmallUnsigned(Prop(L"Big"), nullptr, value));
    EXPECT_EQ(value, 99) << "a failed read leaves the output alone";
}

TEST_F(PropertyAccess, NamesAndGameplayTagsComeBackAsText)
{
    FName region(L"Lowlands");
    FName tag(L"Map.Icon.Dungeon");
    FName label(L"Beacon");
    auto* settings = static_cast<uint8*>(At(L"Settings"));
    FProperty* member = nullptr;
    std::memcpy(StructMemberAddress(Prop(L"Settings"), settings, L"Region", &member), &region, 8);
    std::memcpy(StructMemberAddress(Prop(L"Settings"), settings, L"Tag"), &tag, 8);
    std::memcpy(At(L"Label"), &label, 8);

    std::wstring text = L"old";
    EXPECT_TRUE(ReadNameProperty(reflection_, thing_, L"Label", text));
    EXPECT_EQ(text, L"Beacon");
    EXPECT_TRUE(ReadNameMember(Prop(L"Settings"), settings, L"Region", text));
    EXPECT_EQ(text, L"Lowlands");
    EXPECT_TRUE(ReadGameplayTagName(Prop(L"Settings"), settings, L"Tag", text));
    EXPECT_EQ(text, L"Map.Icon.Dungeon");
    EXPECT_TRUE(ReadGameplayTagName(Prop(L"Settings"), settings, L"Region", text)) << "a plain name member";
    EXPECT_EQ(text, L"Lowlands");

    text = L"kept";
    EXPECT_FALSE(ReadNameProperty(reflection_, thing_, L"Ratio", text));
    EXPECT_FALSE(ReadNameMember(Prop(L"Settings"), settings, L"Bias", text));
    // An integer's bytes are no name-table index; reading them as one could reach anywhere.
    EXPECT_FALSE(ReadGameplayTagName(Prop(L"Settings"), settings, L"Count", text));
    // Nor is an inner "TagName" that is not a name, nor the struct around it.
    std::memcpy(StructMemberAddress(Prop(L"Settings"), settings, L"Counted"), &label, 4); // an index, not a name
    EXPECT_FALSE(ReadGameplayTagName(Prop(L"Settings"), settings, L"Counted", text));
    EXPECT_FALSE(ReadGameplayTagName(Prop(L"Settings"), settings, L"NoSuchMember", text));
    EXPECT_EQ(text, L"kept");
}
} // namespace
