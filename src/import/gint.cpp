#include "import/gint.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/ascii.h"

namespace sorvane {

namespace {

constexpr std::int32_t kBase = 10000;

// Decoding one record line makes and drops hundreds of thousands of short chains; taking their
// nodes from a free list keeps the allocator out of the arithmetic. Under AddressSanitizer every
// node is a separate allocation instead, so that a node used after its release is caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif

class NodePool {
 public:
  NodePool() = default;
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;

  GIntNode* Take() {
    GIntNode* node;
    if constexpr (kPooled) {
      if (!free_) Grow();
      node = free_;
      free_ = node->next;
    } else {
      node = new GIntNode;
    }
    ++live_;
    return node;
  }

  void Give(GIntNode* node) noexcept {
    --live_;
    if constexpr (kPooled) {
      node->next = free_;
      free_ = node;
    } else {
      delete node;
    }
  }

  std::size_t live() const noexcept { return live_; }

 private:
  static constexpr std::size_t kBlockNodes = 1024;

  void Grow() {
    blocks_.push_back(std::make_unique<GIntNode[]>(kBlockNodes));
    GIntNode* block = blocks_.back().get();
    for (std::size_t i = 0; i < kBlockNodes; ++i) {
      block[i].next = i + 1 < kBlockNodes ? &block[i + 1] : free_;
    }
    free_ = block;
  }

  std::vector<std::unique_ptr<GIntNode[]>> blocks_;
  GIntNode* free_ = nullptr;
  std::size_t live_ = 0;
};

thread_local NodePool pool;

GIntNode* NewNode(std::int32_t limb) {
  GIntNode* node = pool.Take();
  *node = GIntNode{1, limb, nullptr, nullptr};
  return node;
}

bool IsZero(const GIntNode& a) {
  return a.next == nullptr && a.limb == 0;
}
bool IsNegative(const GIntNode& a) {
  return a.sign != 1;
}

const GIntNode* Top(const GIntNode& a) {
  const GIntNode* p = &a;
  while (p->next)
    p = p->next;
  return p;
}

GIntNode* Top(GIntNode& a) {
  GIntNode* p = &a;
  while (p->next)
    p = p->next;
  return p;
}

std::size_t LimbCount(const GIntNode& a) {
  std::size_t count = 0;
  for (const GIntNode* p = &a; p; p = p->next)
    ++count;
  return count;
}

// Builds a new chain from the least significant limb up. The chain is owned from its first node
// on, so an allocation failure half way releases what was built.
class ChainBuilder {
 public:
  GIntNode* Push(std::int32_t limb) {
    GIntNode* node = NewNode(limb);
    if (!head_) {
      head_.reset(node);
    } else {
      tail_->next = node;
      node->prev = tail_;
    }
    tail_ = node;
    return node;
  }

  // Drops zero limbs at the most significant end (one limb always remains) and sets the sign;
  // zero is never negative.
  GInt Finish(bool negative) {
    if (!head_) Push(0);
    TrimTop(tail_);
    head_->sign = (negative && !IsZero(*head_)) ? 0 : 1;
    tail_ = nullptr;
    return std::move(head_);
  }

  static void TrimTop(GIntNode* top) {
    while (top->prev && top->limb == 0) {
      GIntNode* below = top->prev;
      below->next = nullptr;
      top->prev = nullptr;
      GIntFree(top);
      top = below;
    }
  }

 private:
  GInt head_;
  GIntNode* tail_ = nullptr;
};

// |a| + |b|.
GInt AddMagnitudes(const GIntNode& a, const GIntNode& b, bool negative) {
  ChainBuilder out;
  std::int32_t carry = 0;
  const GIntNode* p = &a;
  const GIntNode* q = &b;
  while (p || q || carry) {
    std::int32_t sum = carry;
    if (p) sum += p->limb, p = p->next;
    if (q) sum += q->limb, q = q->next;
    carry = sum > kBase - 1 ? 1 : 0;
    out.Push(sum - carry * kBase);
  }
  return out.Finish(negative);
}

// |a| - |b| for |a| >= |b|.
GInt SubMagnitudes(const GIntNode& a, const GIntNode& b, bool negative) {
  ChainBuilder out;
  std::int32_t borrow = 0;
  const GIntNode* q = &b;
  for (const GIntNode* p = &a; p; p = p->next) {
    std::int32_t diff = p->limb - borrow;
    if (q) diff -= q->limb, q = q->next;
    borrow = diff < 0 ? 1 : 0;
    out.Push((diff + kBase) % kBase);
  }
  return out.Finish(negative);
}

// The sum of (-1)^a_negative |a| and (-1)^b_negative |b|.
GInt AddSigned(const GIntNode& a, bool a_negative, const GIntNode& b, bool b_negative) {
  if (a_negative == b_negative) return AddMagnitudes(a, b, a_negative);
  if (GIntCompare(a, b) == std::strong_ordering::less) return SubMagnitudes(b, a, b_negative);
  return SubMagnitudes(a, b, a_negative);
}

// Compares the decimal digit text `digits` (leading zeros allowed) with the digits of a number
// written without leading zeros.
std::strong_ordering CompareDecimal(std::string_view digits, std::string_view number) {
  const std::size_t first = digits.find_first_not_of('0');
  digits = first == std::string_view::npos ? std::string_view("0") : digits.substr(first);
  if (digits.size() != number.size()) return digits.size() <=> number.size();
  return digits.compare(number) <=> 0;
}

}  // namespace

void GIntFree(GIntNode* a) noexcept {
  while (a) {
    GIntNode* next = a->next;
    pool.Give(a);
    a = next;
  }
}

std::size_t GIntLiveNodes() noexcept {
  return pool.live();
}

GInt StrToGInt(std::string_view text) {
  const std::size_t start = text.find_first_of("-0123456789");
  if (start == std::string_view::npos) {
    throw std::invalid_argument("'" + std::string(text) + "' holds no decimal number");
  }
  std::string_view digits = text.substr(start);
  const bool negative = digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) {
        return IsAsciiDigit(static_cast<unsigned char>(c));
      })) {
    throw std::invalid_argument("'" + std::string(text) + "' is not a decimal number");
  }
  while (digits.size() > 1 && digits.front() == '0')
    digits.remove_prefix(1);

  ChainBuilder out;
  for (std::size_t end = digits.size(); end > 0;) {
    const std::size_t begin = end >= 4 ? end - 4 : 0;
    std::int32_t limb = 0;
    for (std::size_t i = begin; i < end; ++i)
      limb = limb * 10 + (digits[i] - '0');
    out.Push(limb);
    end = begin;
  }
  return out.Finish(negative);
}

std::string GIntToStr(const GIntNode& a) {
  std::string text;
  for (const GIntNode* p = Top(a); p; p = p->prev) {
    char group[4];
    std::int32_t limb = p->limb;
    for (int i = 3; i >= 0; --i) {
      group[i] = static_cast<char>('0' + limb % 10);
      limb /= 10;
    }
    text.append(group, 4);
  }
  const std::size_t first = std::min(text.find_first_not_of('0'), text.size() - 1);
  text.erase(0, first);
  if (IsNegative(a)) text.insert(text.begin(), '-');
  return text;
}

std::string GIntToBin(const GIntNode& a) {
  if (IsZero(a)) return "0";
  GInt rest = GIntCopy(a);
  rest->sign = 1;
  std::string reversed;
  while (!IsZero(*rest)) {
    GIntDivResult half = GIntDivSmall(*rest, 2);
    reversed.push_back(static_cast<char>('0' + half.remainder));
    rest = std::move(half.quotient);
  }
  return std::string(reversed.rbegin(), reversed.rend());
}

GInt BinToGInt(std::string_view text) {
  if (text.find_first_not_of("01") != std::string_view::npos) {
    throw std::invalid_argument("'" + std::string(text) + "' is not a binary number");
  }
  const std::size_t first = text.find_first_not_of('0');
  text = first == std::string_view::npos ? std::string_view() : text.substr(first);
  GInt value = StrToGInt("0");
  GInt weight = StrToGInt("1");
  for (auto digit = text.rbegin(); digit != text.rend(); ++digit) {
    if (*digit == '1') value = GIntAdd(*value, *weight);
    GIntMulSmall(*weight, 2);
  }
  return value;
}

std::strong_ordering GIntCompare(const GIntNode& a, const GIntNode& b) {
  // One walk up both chains finds the longer one, or both tops at once.
  const GIntNode* p = &a;
  const GIntNode* q = &b;
  while (p->next && q->next)
    p = p->next, q = q->next;
  if (p->next) return std::strong_ordering::greater;
  if (q->next) return std::strong_ordering::less;
  for (; p; p = p->prev, q = q->prev) {
    if (p->limb != q->limb) return p->limb <=> q->limb;
  }
  return std::strong_ordering::equal;
}

GInt GIntAdd(const GIntNode& a, const GIntNode& b) {
  return AddSigned(a, IsNegative(a), b, IsNegative(b));
}

GInt GIntSub(const GIntNode& a, const GIntNode& b) {
  return AddSigned(a, IsNegative(a), b, !IsNegative(b));
}

GInt GIntMul(const GIntNode& a, const GIntNode& b) {
  if (IsZero(a) || IsZero(b)) return StrToGInt("0");
  ChainBuilder out;
  GIntNode* const low = out.Push(0);
  for (std::size_t n = LimbCount(a) + LimbCount(b); n > 1; --n)
    out.Push(0);
  // Each row adds a times one limb of b into the product, starting at that limb's position; a
  // limb product plus the limb already there and the carry stays below 2^31.
  GIntNode* row_start = low;
  for (const GIntNode* q = &b; q; q = q->next, row_start = row_start->next) {
    std::int32_t carry = 0;
    GIntNode* r = row_start;
    for (const GIntNode* p = &a; p; p = p->next, r = r->next) {
      const std::int32_t cell = r->limb + p->limb * q->limb + carry;
      r->limb = cell % kBase;
      carry = cell / kBase;
    }
    r->limb += carry;
  }
  return out.Finish(IsNegative(a) != IsNegative(b));
}

void GIntMulSmall(GIntNode& a, int k) {
  if (k > kGIntMulSmallMax || k < -kGIntMulSmallMax) {
    throw std::out_of_range("factor " + std::to_string(k) + " is too large");
  }
  const std::int32_t factor = k < 0 ? -k : k;
  // The final carry is known before any limb changes: its limbs are made first, so that an
  // allocation failure leaves `a` as it was.
  std::int32_t carry = 0;
  for (const GIntNode* p = &a; p; p = p->next)
    carry = (p->limb * factor + carry) / kBase;
  GInt high;
  if (carry > 0) {
    ChainBuilder extra;
    for (; carry > 0; carry /= kBase)
      extra.Push(carry % kBase);
    high = extra.Finish(false);
  }

  GIntNode* top = &a;
  for (GIntNode* p = &a; p; p = p->next) {
    const std::int32_t cell = p->limb * factor + carry;
    p->limb = cell % kBase;
    carry = cell / kBase;
    top = p;
  }
  if (high) {
    GIntNode* first = high.release();
    top->next = first;
    first->prev = top;
  }
  ChainBuilder::TrimTop(Top(a));
  if (k < 0) a.sign = a.sign == 1 ? 0 : 1;
  if (IsZero(a)) a.sign = 1;
}

GIntDivResult GIntDivSmall(const GIntNode& a, int k) {
  if (k < 1 || k > kBase - 1) {
    throw std::out_of_range("divisor " + std::to_string(k) + " is outside 1 to 9999");
  }
  std::string quotient;
  std::int32_t remainder = 0;
  for (const GIntNode* p = Top(a); p; p = p->prev) {
    const std::int32_t running = remainder * kBase + p->limb;
    const std::int32_t digits = running / k;
    remainder = running % k;
    if (quotient.empty()) {
      quotient = std::to_string(digits);
    } else {
      char group[4];
      std::int32_t rest = digits;
      for (int i = 3; i >= 0; --i)
        group[i] = static_cast<char>('0' + rest % 10), rest /= 10;
      quotient.append(group, 4);
    }
  }
  if (IsNegative(a)) {
    quotient.insert(quotient.begin(), '-');
    remainder = -remainder;
  }
  return {StrToGInt(quotient), remainder};
}

GInt GIntMod(const GIntNode& a, const GIntNode& m) {
  if (IsZero(m)) throw std::domain_error("modulus is zero");
  if (IsZero(a)) return StrToGInt("0");

  std::string t = GIntToStr(a);
  if (IsNegative(a)) t.erase(0, 1);
  std::string m_digits = GIntToStr(m);
  if (IsNegative(m)) m_digits.erase(0, 1);
  const std::size_t n = m_digits.size();

  // Decimal long division: a leading chunk of T at least as long as m is reduced below m and put
  // back, until what is left of T is smaller than m.
  std::size_t take = n;
  while (CompareDecimal(t, m_digits) != std::strong_ordering::less) {
    std::size_t width = std::min(take, t.size());
    while (width < n && width < t.size())
      ++width;
    GInt chunk = StrToGInt(std::string_view(t).substr(0, width));
    t.erase(0, width);
    while (GIntCompare(*chunk, m) != std::strong_ordering::less) {
      chunk = AddSigned(*chunk, false, m, true);
    }
    const std::string rest = GIntToStr(*chunk);
    t.insert(0, rest);
    take = rest.size() + 1;
  }

  GInt remainder = StrToGInt(t);
  if (IsNegative(a) && !IsZero(*remainder)) return AddSigned(m, false, *remainder, true);
  return remainder;
}

GInt GIntPowMod(const GIntNode& b, const GIntNode& e, const GIntNode& m) {
  const std::string bits = GIntToBin(e);
  GInt result = bits.back() == '0' ? StrToGInt("1") : GIntCopy(b);
  // With a one-digit exponent the loop below never reduces the result: b to the power 1 would
  // come back as b itself, not below m.
  if (bits.size() == 1) return GIntMod(*result, m);
  GInt square = GIntCopy(b);
  for (std::size_t i = bits.size() - 1; i-- > 0;) {
    square = GIntMod(*GIntMul(*square, *square), m);
    if (bits[i] == '1') result = GIntMod(*GIntMul(*result, *square), m);
  }
  return result;
}

GInt GIntCopy(const GIntNode& a) {
  ChainBuilder out;
  for (const GIntNode* p = &a; p; p = p->next)
    out.Push(p->limb);
  return out.Finish(IsNegative(a));
}

}  // namespace sorvane
