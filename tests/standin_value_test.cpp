// Value model: printed form and the result-buffer round trip.
#include <gtest/gtest.h>

#include <cstring>

#include "standin/host/value.h"

namespace standin {
namespace {

TEST(StandinValue, PrintsAsTheCommandLineShowsIt) {
  struct Case {
    Value value;
    const char *text;
  } cases[] = {
      {Value::nil(), "nil"},
      {Value::t(), "T"},
      {Value::make_int(-42), "-42"},
      {Value::make_real(1.5), "1.5"},
      {Value::make_real(2), "2.0"},
      {Value::make_string("a\"b\\c\n\t\x1b\x01"), "\"a\\\"b\\\\c\\n\\t\\e\\001\""},
      {Value::make_symbol("::d_id"), "::d_id"},
      {Value::make_list({Value::make_int(1), Value::make_list({Value::make_string("x")})}),
       "(1 (\"x\"))"},
  };
  for (const Case &c : cases) EXPECT_EQ(to_lisp(c.value), c.text);
}

TEST(StandinValue, SymbolsCompareWithoutCase) {
  EXPECT_EQ(Value::make_symbol("Foo"), Value::make_symbol("fOO"));
  EXPECT_NE(Value::make_string("Foo"), Value::make_string("foo"));
  EXPECT_TRUE(Value::make_list({}).is_nil());
}

TEST(StandinValue, ResultBufferCodesAndRoundTrip) {
  std::vector<Value> values = {
      Value::make_int(32767),
      Value::make_int(-32768),
      Value::make_int(32768),
      Value::make_int(-100000),
      Value::make_real(0.25),
      Value::make_string("s"),
      Value::make_symbol("sym"),
      Value::nil(),
      Value::t(),
      Value::make_list({Value::make_int(1), Value::make_list({Value::make_int(2)})})};
  sds_resbuf *head = to_resbuf_list(values);
  std::vector<short> types;
  for (sds_resbuf *n = head; n != nullptr; n = n->next) types.push_back(n->type);
  std::vector<short> expected = {5003, 5003, 5071, 5071, 5001, 5005, 5027, 5019,
                                 5021, 5016, 5003, 5016, 5003, 5017, 5017};
  EXPECT_EQ(types, expected);
  EXPECT_EQ(head->value.integer, 32767);
  EXPECT_STREQ(head->next->next->next->next->next->value.string, "s");

  std::vector<Value> back;
  std::string error;
  EXPECT_TRUE(from_resbuf_list(head, &back, &error)) << error;
  EXPECT_EQ(back, values);
  free_resbuf_list(head);
}

TEST(StandinValue, MalformedListsAreReportedNotTrusted) {
  struct Case {
    std::vector<short> types;
    const char *error;
  } cases[] = {
      {{5017}, "list end without list begin"},
      {{5016, 5019}, "list begin without list end"},
      {{5003, 1234}, "unknown type code 1234"},
  };
  for (const Case &c : cases) {
    std::vector<sds_resbuf> nodes(c.types.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      std::memset(&nodes[i], 0, sizeof nodes[i]);
      nodes[i].type = c.types[i];
      nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
    }
    std::vector<Value> values;
    std::string error;
    EXPECT_FALSE(from_resbuf_list(&nodes[0], &values, &error));
    EXPECT_EQ(error, c.error);
  }
  // A cycle is cut off by the node limit.
  sds_resbuf loop{};
  loop.type = 5019;
  loop.next = &loop;
  std::vector<Value> values;
  std::string error;
  EXPECT_FALSE(from_resbuf_list(&loop, &values, &error, 100));
  EXPECT_EQ(error, "list longer than 100 nodes");
}

}  // namespace
}  // namespace standin
