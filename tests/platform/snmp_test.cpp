// The extension-agent utilities: OID text parsing and printing, ordering, and
// deep copies whose ownership the service and the agents rely on.
#include "platform/snmp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Parse(const std::string& text) {
    AsnObjectIdentifier oid{};
    if (!SnmpMgrStrToOid(text.c_str(), &oid)) {
        EXPECT_EQ(oid.idLength, 0u);
        EXPECT_EQ(oid.ids, nullptr);
        return "refused";
    }
    std::string out = orb::OidToText(oid);
    SnmpUtilOidFree(&oid);
    return out;
}

std::string Repeat(const std::string& arc, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "." + arc;
    return text;
}

// An OID over caller-owned arcs (no allocation).
AsnObjectIdentifier View(std::vector<UINT>& arcs) {
    return AsnObjectIdentifier{static_cast<UINT>(arcs.size()), arcs.data()};
}

TEST(SnmpOidText, ParsesDottedNumbersWithOrWithoutLeadingDot) {
    EXPECT_EQ(Parse(".1.3.6.1.4.1.58231.2.12.9.3.1.0"), ".1.3.6.1.4.1.58231.2.12.9.3.1.0");
    EXPECT_EQ(Parse("1.3.6.1"), ".1.3.6.1");
    EXPECT_EQ(Parse("0"), ".0");
    EXPECT_EQ(Parse(".4294967295.007"), ".4294967295.7");
    EXPECT_EQ(Parse(Repeat("1", SNMP_MAX_OID_LEN)), Repeat("1", SNMP_MAX_OID_LEN));
}

TEST(SnmpOidText, RefusesMalformedAndOversizedText) {
    for (const char* bad : {"", ".", "..1", "1..3", "1.3.", "1.a", "-1", "1.3 ", " 1", "1,3",
                            "4294967296", "1.99999999999999999999999", "+1", "0x10"})
        EXPECT_EQ(Parse(bad), "refused") << '"' << bad << '"';
    EXPECT_EQ(Parse(Repeat("1", SNMP_MAX_OID_LEN + 1)), "refused");
    // Short in arcs but long in text (leading zeros).
    EXPECT_EQ(Parse("1." + std::string(SNMP_MAX_OID_TEXT, '0')), "refused");
    AsnObjectIdentifier oid{};
    EXPECT_FALSE(SnmpMgrStrToOid(nullptr, &oid));
    EXPECT_FALSE(SnmpMgrStrToOid("1.3", nullptr));
}

TEST(SnmpOidText, OidToAPrintsWithoutLeadingDotAndTruncatesHugeOids) {
    std::vector<UINT> arcs{1, 3, 6, 1, 4294967295u};
    AsnObjectIdentifier oid = View(arcs);
    EXPECT_STREQ(SnmpUtilOidToA(&oid), "1.3.6.1.4294967295");
    AsnObjectIdentifier empty{};
    EXPECT_STREQ(SnmpUtilOidToA(&empty), "<null oid>");

    // Longer than any OID the utilities build: the text stops in "...".
    std::vector<UINT> huge(3 * SNMP_MAX_OID_LEN, 4294967295u);
    AsnObjectIdentifier big = View(huge);
    std::string text = SnmpUtilOidToA(&big);
    EXPECT_LT(text.size(), SNMP_MAX_OID_LEN * 11u + 4);
    EXPECT_EQ(text.substr(text.size() - 3), "...");
    EXPECT_EQ(orb::OidToText(big, false).size(), huge.size() * 11 - 1);
}

TEST(SnmpOid, OrdersLikeSnmpLexicographicOrder) {
    std::vector<UINT> root{1, 3, 6, 1, 4, 1, 58231, 2, 12, 9},
        child{1, 3, 6, 1, 4, 1, 58231, 2, 12, 9, 3}, next{1, 3, 6, 1, 4, 1, 58231, 2, 12, 10},
        big{1, 3, 6, 1, 4, 1, 4294967295u};
    AsnObjectIdentifier r = View(root), c = View(child), n = View(next), b = View(big);
    EXPECT_LT(SnmpUtilOidCmp(&r, &c), 0);  // a prefix comes first
    EXPECT_GT(SnmpUtilOidCmp(&n, &c), 0);
    EXPECT_GT(SnmpUtilOidCmp(&b, &n), 0);  // arcs compare unsigned
    EXPECT_EQ(SnmpUtilOidCmp(&r, &r), 0);
    EXPECT_EQ(SnmpUtilOidNCmp(&r, &c, 10), 0);  // the view contains the child
    EXPECT_LT(SnmpUtilOidNCmp(&r, &n, 10), 0);
    AsnObjectIdentifier empty{};
    EXPECT_LT(SnmpUtilOidCmp(&empty, &r), 0);
}

TEST(SnmpOid, AppendGrowsOwnedOidAndRefusesPastTheLimit) {
    std::vector<UINT> rootArcs{1, 3, 6, 1}, suffixArcs{3, 1, 0};
    AsnObjectIdentifier root = View(rootArcs), suffix = View(suffixArcs), oid{};
    ASSERT_EQ(SnmpUtilOidAppend(&oid, &root), SNMPAPI_NOERROR);
    ASSERT_EQ(SnmpUtilOidAppend(&oid, &suffix), SNMPAPI_NOERROR);
    EXPECT_EQ(orb::OidToText(oid), ".1.3.6.1.3.1.0");
    ASSERT_EQ(SnmpUtilOidAppend(&oid, &oid), SNMPAPI_NOERROR);  // onto itself
    EXPECT_EQ(orb::OidToText(oid), ".1.3.6.1.3.1.0.1.3.6.1.3.1.0");

    std::vector<UINT> many(SNMP_MAX_OID_LEN - oid.idLength + 1, 7);
    AsnObjectIdentifier tooMany = View(many);
    EXPECT_EQ(SnmpUtilOidAppend(&oid, &tooMany), SNMPAPI_ERROR);
    EXPECT_EQ(oid.idLength, 14u);  // unchanged
    many.pop_back();
    tooMany = View(many);
    EXPECT_EQ(SnmpUtilOidAppend(&oid, &tooMany), SNMPAPI_NOERROR);
    EXPECT_EQ(oid.idLength, static_cast<UINT>(SNMP_MAX_OID_LEN));
    SnmpUtilOidFree(&oid);
    EXPECT_EQ(oid.ids, nullptr);
}

// Copies must own everything they point to: the source is freed first and the
// copy is read afterwards (the sanitizer build turns a shallow copy into a
// use-after-free, a missed free into a leak).
TEST(SnmpValues, ListCopyIsDeepAndFreeHonoursTheDynamicFlag) {
    static BYTE fixedText[] = {'a', 'b'};
    SnmpVarBindList src{};
    src.len = 4;
    src.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(src.len * sizeof(SnmpVarBind)));
    for (UINT i = 0; i < src.len; ++i)
        ASSERT_TRUE(SnmpMgrStrToOid((".1.3." + std::to_string(i)).c_str(), &src.list[i].name));
    src.list[0].value.asnType = ASN_INTEGER;
    src.list[0].value.asnValue.number = -5;
    src.list[1].value.asnType = ASN_OCTETSTRING;
    AsnOctetString text{fixedText, 2, FALSE};  // static bytes: never freed
    ASSERT_EQ(SnmpUtilOctetsCpy(&src.list[1].value.asnValue.string, &text), SNMPAPI_NOERROR);
    src.list[2].value.asnType = ASN_OBJECTIDENTIFIER;
    ASSERT_TRUE(SnmpMgrStrToOid(".1.3.6.1.4.1.58231", &src.list[2].value.asnValue.object));
    src.list[3].value.asnType = ASN_OCTETSTRING;
    src.list[3].value.asnValue.string = text;

    SnmpVarBindList copy{};
    ASSERT_EQ(SnmpUtilVarBindListCpy(&copy, &src), SNMPAPI_NOERROR);
    SnmpUtilVarBindListFree(&src);
    EXPECT_EQ(src.list, nullptr);
    EXPECT_EQ(src.len, 0u);

    ASSERT_EQ(copy.len, 4u);
    EXPECT_EQ(orb::OidToText(copy.list[3].name), ".1.3.3");
    EXPECT_EQ(copy.list[0].value.asnValue.number, -5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(copy.list[1].value.asnValue.string.stream), 2),
              "ab");
    EXPECT_TRUE(copy.list[3].value.asnValue.string.dynamic);
    EXPECT_EQ(orb::OidToText(copy.list[2].value.asnValue.object), ".1.3.6.1.4.1.58231");
    SnmpUtilVarBindListFree(&copy);

    AsnAny any{};
    any.asnType = ASN_OCTETSTRING;
    any.asnValue.string = text;
    SnmpUtilAsnAnyFree(&any);  // not dynamic: the static bytes survive
    EXPECT_EQ(any.asnType, ASN_NULL);
    EXPECT_EQ(fixedText[0], 'a');
}

}  // namespace
