#include "AlphaSearchLanes.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TEVLORA_X86_LANES 1
#endif

#if defined(__aarch64__)
#include <arm_neon.h>
#define TEVLORA_NEON_LANES 1
#endif

#ifdef __FAST_MATH__
#error "The lane walk's rounding room assumes IEEE arithmetic: build it without -ffast-math."
#endif

namespace {

constexpr double kPenaltyLanes = 100000.0;
// Room for rounding: far more than the few units in the last place that the
// plain search and this walk can each be off by in one record.
constexpr double kRelativeSlackLanes = 1e-12;
constexpr double kSumSlackLanes = 1e-11;
// The single-precision point walk's rounding room (see its kernel).
constexpr float kFloatSlack = 2e-6f;
constexpr float kFloatAlphaSlack = 5e-7f;
constexpr float kFloatMeasuredSlack = 3e-7f;
// A float times these is at least a unit in the last place below or above it
// (two for kFloatDown and kFloatUp: the recharge was rounded too).
constexpr float kFloatDown = 1.0f - 0x1p-22f;
constexpr float kFloatUp = 1.0f + 0x1p-22f;
constexpr double kFloatRounding = 6e-8;
constexpr float kFloatTiny = 1e-30f;
constexpr float kFloatPenaltyRoot = 316.2277f;  // below the root of the penalty
constexpr double kFloatHuge = 1e30;
constexpr float kFloatHugeF = 1e30f;

// Plain code: one double per "vector", for any processor.
namespace plain {
using N = double;
using NM = bool;
constexpr int kPart = 1;
constexpr int kParts = kSearchLanes;
#define LANES_FN [[gnu::always_inline]] inline
LANES_FN N NSplat(double x) {
  return x;
}
LANES_FN N NLoad(const double* x) {
  return *x;
}
LANES_FN void NStore(double* x, N v) {
  *x = v;
}
LANES_FN N NAdd(N x, N y) {
  return x + y;
}
LANES_FN N NSub(N x, N y) {
  return x - y;
}
LANES_FN N NMul(N x, N y) {
  return x * y;
}
LANES_FN N NMulAdd(N x, N y, N z) {
  return x * y + z;
}
LANES_FN N NMin(N x, N y) {
  return y < x ? y : x;
}
LANES_FN N NMax(N x, N y) {
  return y > x ? y : x;
}
LANES_FN NM NLe(N x, N y) {
  return x <= y;
}
LANES_FN NM NLt(N x, N y) {
  return x < y;
}
LANES_FN NM NAnd(NM x, NM y) {
  return x && y;
}
LANES_FN N NSelect(NM m, N x, N y) {
  return m ? x : y;
}
LANES_FN unsigned NBits(NM m) {
  return m ? 1u : 0u;
}
LANES_FN N NScale(N p, N t, N magic) {
  const std::int64_t k = std::bit_cast<std::int64_t>(t) - std::bit_cast<std::int64_t>(magic);
  return std::bit_cast<double>(std::bit_cast<std::int64_t>(p) +
                               static_cast<std::int64_t>(static_cast<std::uint64_t>(k) << 52));
}
#include "AlphaSearchLanesKernel.h"
using FN = float;
using FNM = bool;
constexpr int kFPart = 1;
constexpr int kFParts = kSearchLanes;
LANES_FN FN FSplat(float x) {
  return x;
}
LANES_FN FN FLoad(const float* x) {
  return *x;
}
LANES_FN void FStore(float* x, FN v) {
  *x = v;
}
LANES_FN FN FAdd(FN x, FN y) {
  return x + y;
}
LANES_FN FN FSub(FN x, FN y) {
  return x - y;
}
LANES_FN FN FMul(FN x, FN y) {
  return x * y;
}
LANES_FN FN FMulAdd(FN x, FN y, FN z) {
  return x * y + z;
}
LANES_FN FN FMin(FN x, FN y) {
  return y < x ? y : x;
}
LANES_FN FN FMax(FN x, FN y) {
  return y > x ? y : x;
}
LANES_FN FNM FLe(FN x, FN y) {
  return x <= y;
}
LANES_FN FN FSelect(FNM m, FN x, FN y) {
  return m ? x : y;
}
LANES_FN unsigned FBits(FNM m) {
  return m ? 1u : 0u;
}
LANES_FN FN FScale(FN p, FN t, FN magic) {
  const std::int32_t k = std::bit_cast<std::int32_t>(t) - std::bit_cast<std::int32_t>(magic);
  return std::bit_cast<float>(std::bit_cast<std::int32_t>(p) +
                              static_cast<std::int32_t>(static_cast<std::uint32_t>(k) << 23));
}
#include "AlphaSearchPointsKernel.h"
#undef LANES_FN
}  // namespace plain

#ifdef TEVLORA_X86_LANES

// Two doubles a vector; every x86-64 processor has them.
namespace sse2 {
using N = __m128d;
using NM = __m128d;
constexpr int kPart = 2;
constexpr int kParts = kSearchLanes / kPart;
#define LANES_FN [[gnu::always_inline]] inline __attribute__((target("sse2")))
LANES_FN N NSplat(double x) {
  return _mm_set1_pd(x);
}
LANES_FN N NLoad(const double* x) {
  return _mm_load_pd(x);
}
LANES_FN void NStore(double* x, N v) {
  _mm_store_pd(x, v);
}
LANES_FN N NAdd(N x, N y) {
  return _mm_add_pd(x, y);
}
LANES_FN N NSub(N x, N y) {
  return _mm_sub_pd(x, y);
}
LANES_FN N NMul(N x, N y) {
  return _mm_mul_pd(x, y);
}
LANES_FN N NMulAdd(N x, N y, N z) {
  return _mm_add_pd(_mm_mul_pd(x, y), z);
}
LANES_FN N NMin(N x, N y) {
  return _mm_min_pd(x, y);
}
LANES_FN N NMax(N x, N y) {
  return _mm_max_pd(x, y);
}
LANES_FN NM NLe(N x, N y) {
  return _mm_cmple_pd(x, y);
}
LANES_FN NM NLt(N x, N y) {
  return _mm_cmplt_pd(x, y);
}
LANES_FN NM NAnd(NM x, NM y) {
  return _mm_and_pd(x, y);
}
LANES_FN N NSelect(NM m, N x, N y) {
  return _mm_or_pd(_mm_and_pd(m, x), _mm_andnot_pd(m, y));
}
LANES_FN unsigned NBits(NM m) {
  return static_cast<unsigned>(_mm_movemask_pd(m));
}
LANES_FN N NScale(N p, N t, N magic) {
  const __m128i k = _mm_sub_epi64(_mm_castpd_si128(t), _mm_castpd_si128(magic));
  return _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(p), _mm_slli_epi64(k, 52)));
}
#include "AlphaSearchLanesKernel.h"
using FN = __m128;
using FNM = __m128;
constexpr int kFPart = 4;
constexpr int kFParts = kSearchLanes / kFPart;
LANES_FN FN FSplat(float x) {
  return _mm_set1_ps(x);
}
LANES_FN FN FLoad(const float* x) {
  return _mm_load_ps(x);
}
LANES_FN void FStore(float* x, FN v) {
  _mm_store_ps(x, v);
}
LANES_FN FN FAdd(FN x, FN y) {
  return _mm_add_ps(x, y);
}
LANES_FN FN FSub(FN x, FN y) {
  return _mm_sub_ps(x, y);
}
LANES_FN FN FMul(FN x, FN y) {
  return _mm_mul_ps(x, y);
}
LANES_FN FN FMulAdd(FN x, FN y, FN z) {
  return _mm_add_ps(_mm_mul_ps(x, y), z);
}
LANES_FN FN FMin(FN x, FN y) {
  return _mm_min_ps(x, y);
}
LANES_FN FN FMax(FN x, FN y) {
  return _mm_max_ps(x, y);
}
LANES_FN FNM FLe(FN x, FN y) {
  return _mm_cmple_ps(x, y);
}
LANES_FN FN FSelect(FNM m, FN x, FN y) {
  return _mm_or_ps(_mm_and_ps(m, x), _mm_andnot_ps(m, y));
}
LANES_FN unsigned FBits(FNM m) {
  return static_cast<unsigned>(_mm_movemask_ps(m));
}
LANES_FN FN FScale(FN p, FN t, FN magic) {
  const __m128i k = _mm_sub_epi32(_mm_castps_si128(t), _mm_castps_si128(magic));
  return _mm_castsi128_ps(_mm_add_epi32(_mm_castps_si128(p), _mm_slli_epi32(k, 23)));
}
#include "AlphaSearchPointsKernel.h"
#undef LANES_FN
}  // namespace sse2

// Four doubles a vector and fused multiply-adds.
namespace avx2 {
using N = __m256d;
using NM = __m256d;
constexpr int kPart = 4;
constexpr int kParts = kSearchLanes / kPart;
#define LANES_FN [[gnu::always_inline]] inline __attribute__((target("avx2,fma")))
LANES_FN N NSplat(double x) {
  return _mm256_set1_pd(x);
}
LANES_FN N NLoad(const double* x) {
  return _mm256_load_pd(x);
}
LANES_FN void NStore(double* x, N v) {
  _mm256_store_pd(x, v);
}
LANES_FN N NAdd(N x, N y) {
  return _mm256_add_pd(x, y);
}
LANES_FN N NSub(N x, N y) {
  return _mm256_sub_pd(x, y);
}
LANES_FN N NMul(N x, N y) {
  return _mm256_mul_pd(x, y);
}
LANES_FN N NMulAdd(N x, N y, N z) {
  return _mm256_fmadd_pd(x, y, z);
}
LANES_FN N NMin(N x, N y) {
  return _mm256_min_pd(x, y);
}
LANES_FN N NMax(N x, N y) {
  return _mm256_max_pd(x, y);
}
LANES_FN NM NLe(N x, N y) {
  return _mm256_cmp_pd(x, y, _CMP_LE_OQ);
}
LANES_FN NM NLt(N x, N y) {
  return _mm256_cmp_pd(x, y, _CMP_LT_OQ);
}
LANES_FN NM NAnd(NM x, NM y) {
  return _mm256_and_pd(x, y);
}
LANES_FN N NSelect(NM m, N x, N y) {
  return _mm256_blendv_pd(y, x, m);
}
LANES_FN unsigned NBits(NM m) {
  return static_cast<unsigned>(_mm256_movemask_pd(m));
}
LANES_FN N NScale(N p, N t, N magic) {
  const __m256i k = _mm256_sub_epi64(_mm256_castpd_si256(t), _mm256_castpd_si256(magic));
  return _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(p), _mm256_slli_epi64(k, 52)));
}
#include "AlphaSearchLanesKernel.h"
using FN = __m256;
using FNM = __m256;
constexpr int kFPart = 8;
constexpr int kFParts = kSearchLanes / kFPart;
LANES_FN FN FSplat(float x) {
  return _mm256_set1_ps(x);
}
LANES_FN FN FLoad(const float* x) {
  return _mm256_load_ps(x);
}
LANES_FN void FStore(float* x, FN v) {
  _mm256_store_ps(x, v);
}
LANES_FN FN FAdd(FN x, FN y) {
  return _mm256_add_ps(x, y);
}
LANES_FN FN FSub(FN x, FN y) {
  return _mm256_sub_ps(x, y);
}
LANES_FN FN FMul(FN x, FN y) {
  return _mm256_mul_ps(x, y);
}
LANES_FN FN FMulAdd(FN x, FN y, FN z) {
  return _mm256_fmadd_ps(x, y, z);
}
LANES_FN FN FMin(FN x, FN y) {
  return _mm256_min_ps(x, y);
}
LANES_FN FN FMax(FN x, FN y) {
  return _mm256_max_ps(x, y);
}
LANES_FN FNM FLe(FN x, FN y) {
  return _mm256_cmp_ps(x, y, _CMP_LE_OQ);
}
LANES_FN FN FSelect(FNM m, FN x, FN y) {
  return _mm256_blendv_ps(y, x, m);
}
LANES_FN unsigned FBits(FNM m) {
  return static_cast<unsigned>(_mm256_movemask_ps(m));
}
LANES_FN FN FScale(FN p, FN t, FN magic) {
  const __m256i k = _mm256_sub_epi32(_mm256_castps_si256(t), _mm256_castps_si256(magic));
  return _mm256_castsi256_ps(_mm256_add_epi32(_mm256_castps_si256(p), _mm256_slli_epi32(k, 23)));
}
#include "AlphaSearchPointsKernel.h"
#undef LANES_FN
}  // namespace avx2

// Eight doubles or sixteen floats a vector, compares into mask registers.
namespace avx512 {
using N = __m512d;
using NM = __mmask8;
constexpr int kPart = 8;
constexpr int kParts = kSearchLanes / kPart;
#define LANES_FN [[gnu::always_inline]] inline __attribute__((target("avx512f")))
LANES_FN N NSplat(double x) {
  return _mm512_set1_pd(x);
}
LANES_FN N NLoad(const double* x) {
  return _mm512_load_pd(x);
}
LANES_FN void NStore(double* x, N v) {
  _mm512_store_pd(x, v);
}
LANES_FN N NAdd(N x, N y) {
  return _mm512_add_pd(x, y);
}
LANES_FN N NSub(N x, N y) {
  return _mm512_sub_pd(x, y);
}
LANES_FN N NMul(N x, N y) {
  return _mm512_mul_pd(x, y);
}
LANES_FN N NMulAdd(N x, N y, N z) {
  return _mm512_fmadd_pd(x, y, z);
}
// The masked forms with every lane set: the plain ones start from an
// undefined vector, which some compilers warn about.
LANES_FN N NMin(N x, N y) {
  return _mm512_mask_min_pd(x, 0xFF, x, y);
}
LANES_FN N NMax(N x, N y) {
  return _mm512_mask_max_pd(x, 0xFF, x, y);
}
LANES_FN NM NLe(N x, N y) {
  return _mm512_cmp_pd_mask(x, y, _CMP_LE_OQ);
}
LANES_FN NM NLt(N x, N y) {
  return _mm512_cmp_pd_mask(x, y, _CMP_LT_OQ);
}
LANES_FN NM NAnd(NM x, NM y) {
  return static_cast<NM>(x & y);
}
LANES_FN N NSelect(NM m, N x, N y) {
  return _mm512_mask_blend_pd(m, y, x);
}
LANES_FN unsigned NBits(NM m) {
  return m;
}
LANES_FN N NScale(N p, N t, N magic) {
  const __m512i k = _mm512_sub_epi64(_mm512_castpd_si512(t), _mm512_castpd_si512(magic));
  return _mm512_castsi512_pd(
      _mm512_add_epi64(_mm512_castpd_si512(p), _mm512_mask_slli_epi64(k, 0xFF, k, 52)));
}
#include "AlphaSearchLanesKernel.h"
using FN = __m512;
using FNM = __mmask16;
constexpr int kFPart = 16;
constexpr int kFParts = 1;
LANES_FN FN FSplat(float x) {
  return _mm512_set1_ps(x);
}
LANES_FN FN FLoad(const float* x) {
  return _mm512_load_ps(x);
}
LANES_FN void FStore(float* x, FN v) {
  _mm512_store_ps(x, v);
}
LANES_FN FN FAdd(FN x, FN y) {
  return _mm512_add_ps(x, y);
}
LANES_FN FN FSub(FN x, FN y) {
  return _mm512_sub_ps(x, y);
}
LANES_FN FN FMul(FN x, FN y) {
  return _mm512_mul_ps(x, y);
}
LANES_FN FN FMulAdd(FN x, FN y, FN z) {
  return _mm512_fmadd_ps(x, y, z);
}
LANES_FN FN FMin(FN x, FN y) {
  return _mm512_mask_min_ps(x, 0xFFFF, x, y);
}
LANES_FN FN FMax(FN x, FN y) {
  return _mm512_mask_max_ps(x, 0xFFFF, x, y);
}
LANES_FN FNM FLe(FN x, FN y) {
  return _mm512_cmp_ps_mask(x, y, _CMP_LE_OQ);
}
LANES_FN FN FSelect(FNM m, FN x, FN y) {
  return _mm512_mask_blend_ps(m, y, x);
}
LANES_FN unsigned FBits(FNM m) {
  return m;
}
LANES_FN FN FScale(FN p, FN t, FN magic) {
  const __m512i k = _mm512_sub_epi32(_mm512_castps_si512(t), _mm512_castps_si512(magic));
  return _mm512_castsi512_ps(
      _mm512_add_epi32(_mm512_castps_si512(p), _mm512_mask_slli_epi32(k, 0xFFFF, k, 23)));
}
#include "AlphaSearchPointsKernel.h"
#undef LANES_FN
}  // namespace avx512

#endif  // TEVLORA_X86_LANES

#ifdef TEVLORA_NEON_LANES

// Two doubles or four floats a vector, and fused multiply-adds; every 64-bit
// ARM processor has them. The minimum and maximum are x86's: the second
// operand unless the first is strictly beyond it (so also where either is not
// a number, and for zeros of either sign), as the kernels' results must not
// depend on the width they ran at.
namespace neon {
using N = float64x2_t;
using NM = uint64x2_t;
constexpr int kPart = 2;
constexpr int kParts = kSearchLanes / kPart;
#define LANES_FN [[gnu::always_inline]] inline
LANES_FN N NSplat(double x) {
  return vdupq_n_f64(x);
}
LANES_FN N NLoad(const double* x) {
  return vld1q_f64(x);
}
LANES_FN void NStore(double* x, N v) {
  vst1q_f64(x, v);
}
LANES_FN N NAdd(N x, N y) {
  return vaddq_f64(x, y);
}
LANES_FN N NSub(N x, N y) {
  return vsubq_f64(x, y);
}
LANES_FN N NMul(N x, N y) {
  return vmulq_f64(x, y);
}
LANES_FN N NMulAdd(N x, N y, N z) {
  return vfmaq_f64(z, x, y);
}
LANES_FN N NMin(N x, N y) {
  return vbslq_f64(vcltq_f64(x, y), x, y);
}
LANES_FN N NMax(N x, N y) {
  return vbslq_f64(vcgtq_f64(x, y), x, y);
}
LANES_FN NM NLe(N x, N y) {
  return vcleq_f64(x, y);
}
LANES_FN NM NLt(N x, N y) {
  return vcltq_f64(x, y);
}
LANES_FN NM NAnd(NM x, NM y) {
  return vandq_u64(x, y);
}
LANES_FN N NSelect(NM m, N x, N y) {
  return vbslq_f64(m, x, y);
}
LANES_FN unsigned NBits(NM m) {
  const uint64x2_t bit = {1, 2};
  return static_cast<unsigned>(vaddvq_u64(vandq_u64(m, bit)));
}
LANES_FN N NScale(N p, N t, N magic) {
  const int64x2_t k = vsubq_s64(vreinterpretq_s64_f64(t), vreinterpretq_s64_f64(magic));
  return vreinterpretq_f64_s64(vaddq_s64(vreinterpretq_s64_f64(p), vshlq_n_s64(k, 52)));
}
#include "AlphaSearchLanesKernel.h"
using FN = float32x4_t;
using FNM = uint32x4_t;
constexpr int kFPart = 4;
constexpr int kFParts = kSearchLanes / kFPart;
LANES_FN FN FSplat(float x) {
  return vdupq_n_f32(x);
}
LANES_FN FN FLoad(const float* x) {
  return vld1q_f32(x);
}
LANES_FN void FStore(float* x, FN v) {
  vst1q_f32(x, v);
}
LANES_FN FN FAdd(FN x, FN y) {
  return vaddq_f32(x, y);
}
LANES_FN FN FSub(FN x, FN y) {
  return vsubq_f32(x, y);
}
LANES_FN FN FMul(FN x, FN y) {
  return vmulq_f32(x, y);
}
LANES_FN FN FMulAdd(FN x, FN y, FN z) {
  return vfmaq_f32(z, x, y);
}
LANES_FN FN FMin(FN x, FN y) {
  return vbslq_f32(vcltq_f32(x, y), x, y);
}
LANES_FN FN FMax(FN x, FN y) {
  return vbslq_f32(vcgtq_f32(x, y), x, y);
}
LANES_FN FNM FLe(FN x, FN y) {
  return vcleq_f32(x, y);
}
LANES_FN FN FSelect(FNM m, FN x, FN y) {
  return vbslq_f32(m, x, y);
}
LANES_FN unsigned FBits(FNM m) {
  const uint32x4_t bit = {1, 2, 4, 8};
  return vaddvq_u32(vandq_u32(m, bit));
}
LANES_FN FN FScale(FN p, FN t, FN magic) {
  const int32x4_t k = vsubq_s32(vreinterpretq_s32_f32(t), vreinterpretq_s32_f32(magic));
  return vreinterpretq_f32_s32(vaddq_s32(vreinterpretq_s32_f32(p), vshlq_n_s32(k, 23)));
}
#include "AlphaSearchPointsKernel.h"
#undef LANES_FN
}  // namespace neon

#endif  // TEVLORA_NEON_LANES

// The entry points of each width: the only functions that are not inlined,
// each built for its own instruction set.
#define TEVLORA_LANES_ENTRIES(space, target)                                                     \
  target void Exp##space(const double* x, double* result) {                                      \
    space::Store(result, space::ExpPack(space::Load(x)));                                        \
  }                                                                                              \
  target unsigned Walk##space(const TSearchProblem& problem, const double* inverseStep,          \
                              const double* a, const double* c, int lanes, int step, double low, \
                              double high, double lowerSum, double bound, int records,           \
                              bool* finished) {                                                  \
    return space::WalkPack(problem, inverseStep, a, c, lanes, step, low, high, lowerSum, bound,  \
                           records, finished);                                                   \
  }                                                                                              \
  target std::uint64_t Points##space(const TSearchProblem& problem, const double* inverseStep,   \
                                     const double* a, const double* c, int count, double bound,  \
                                     const double* rechargeHigh, int highUntil) {                \
    return space::WalkPointPacks(problem, inverseStep, a, c, count, bound, rechargeHigh,         \
                                 highUntil);                                                     \
  }

TEVLORA_LANES_ENTRIES(plain, )
#ifdef TEVLORA_X86_LANES
TEVLORA_LANES_ENTRIES(sse2, __attribute__((target("sse2"))))
TEVLORA_LANES_ENTRIES(avx2, __attribute__((target("avx2,fma"))))
TEVLORA_LANES_ENTRIES(avx512, __attribute__((target("avx512f"))))
#endif
#ifdef TEVLORA_NEON_LANES
TEVLORA_LANES_ENTRIES(neon, )
#endif
#undef TEVLORA_LANES_ENTRIES

// The single-precision point walks and exponentials. The exponential takes
// kFloatExpLanes floats, as many as the widest pack.
constexpr int kFloatExpLanes = 16;
#define TEVLORA_FLOAT_ENTRIES(space, target)                                                   \
  target void ExpF##space(const float* x, float* result) {                                     \
    space::StoreF(result, space::ExpPackF(space::LoadF(x)));                                   \
  }                                                                                            \
  target std::uint64_t PointsF##space(const TSearchProblem& problem, const double* a,          \
                                      const double* c, int count, double bound,                \
                                      const double* rechargeHigh, int highUntil) {             \
    return space::WalkPointPacksF(problem, a, c, count, bound, rechargeHigh, highUntil);       \
  }                                                                                            \
  target void LeavesF##space(const TSearchProblem& problem, const TLeafBox* leaves, int count, \
                             double bound, const double* rechargeHigh, int highUntil,          \
                             unsigned* alive) {                                                \
    space::WalkLeafPacksF(problem, leaves, count, bound, rechargeHigh, highUntil, alive);      \
  }

TEVLORA_FLOAT_ENTRIES(plain, )
#ifdef TEVLORA_X86_LANES
TEVLORA_FLOAT_ENTRIES(sse2, __attribute__((target("sse2"))))
TEVLORA_FLOAT_ENTRIES(avx2, __attribute__((target("avx2,fma"))))
TEVLORA_FLOAT_ENTRIES(avx512, __attribute__((target("avx512f"))))
#endif
#ifdef TEVLORA_NEON_LANES
TEVLORA_FLOAT_ENTRIES(neon, )
#endif
#undef TEVLORA_FLOAT_ENTRIES

TSearchPath WidestPath() {
#ifdef TEVLORA_X86_LANES
  if (SearchPathAvailable(TSearchPath::Avx512)) return TSearchPath::Avx512;
  if (SearchPathAvailable(TSearchPath::Avx2)) return TSearchPath::Avx2;
  if (SearchPathAvailable(TSearchPath::Sse2)) return TSearchPath::Sse2;
#endif
#ifdef TEVLORA_NEON_LANES
  return TSearchPath::Neon;
#endif
  return TSearchPath::Plain;
}

TSearchPath StartPath() {
  const char* named = std::getenv("TEVLORA_SEARCH_PATH");
  if (named) {
    for (TSearchPath path : kSearchPaths) {
      if (std::strcmp(named, SearchPathName(path)) == 0 && SearchPathAvailable(path)) return path;
    }
  }
  return WidestPath();
}

std::atomic<int>& ChosenPath() {
  static std::atomic<int> chosen(static_cast<int>(StartPath()));
  return chosen;
}

}  // namespace

const char* SearchPathName(TSearchPath path) {
  switch (path) {
    case TSearchPath::Avx512:
      return "avx512";
    case TSearchPath::Avx2:
      return "avx2";
    case TSearchPath::Sse2:
      return "sse2";
    case TSearchPath::Neon:
      return "neon";
    case TSearchPath::Plain:
      break;
  }
  return "plain";
}

bool SearchPathAvailable(TSearchPath path) {
  switch (path) {
#ifdef TEVLORA_X86_LANES
    case TSearchPath::Avx512:
      return __builtin_cpu_supports("avx512f");
    case TSearchPath::Avx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case TSearchPath::Sse2:
      return __builtin_cpu_supports("sse2");
#else
    case TSearchPath::Avx512:
    case TSearchPath::Avx2:
    case TSearchPath::Sse2:
      return false;
#endif
    case TSearchPath::Neon:
#ifdef TEVLORA_NEON_LANES
      return true;
#else
      return false;
#endif
    case TSearchPath::Plain:
      break;
  }
  return true;
}

TSearchPath ActiveSearchPath() {
  return static_cast<TSearchPath>(ChosenPath().load());
}

bool UseSearchPath(TSearchPath path) {
  if (!SearchPathAvailable(path)) return false;
  ChosenPath().store(static_cast<int>(path));
  return true;
}

// Returns name<path>(arguments) for the active path: the entry points of a
// path exist only where the build has it.
#ifdef TEVLORA_X86_LANES
#define TEVLORA_X86_CASES(name, ...)  \
  case TSearchPath::Avx512:           \
    return name##avx512(__VA_ARGS__); \
  case TSearchPath::Avx2:             \
    return name##avx2(__VA_ARGS__);   \
  case TSearchPath::Sse2:             \
    return name##sse2(__VA_ARGS__);
#else
#define TEVLORA_X86_CASES(name, ...)
#endif
#ifdef TEVLORA_NEON_LANES
#define TEVLORA_NEON_CASES(name, ...) \
  case TSearchPath::Neon:             \
    return name##neon(__VA_ARGS__);
#else
#define TEVLORA_NEON_CASES(name, ...)
#endif
#define TEVLORA_ON_ACTIVE_PATH(name, ...) \
  switch (ActiveSearchPath()) {           \
    TEVLORA_X86_CASES(name, __VA_ARGS__)  \
    TEVLORA_NEON_CASES(name, __VA_ARGS__) \
    default:                              \
      return name##plain(__VA_ARGS__);    \
  }

namespace {
void ExpOnPath(const double* in, double* out) {
  TEVLORA_ON_ACTIVE_PATH(Exp, in, out)
}
}  // namespace

void ExpLanes(const double* x, double* result) {
  alignas(64) double in[kSearchLanes], out[kSearchLanes];
  std::memcpy(in, x, sizeof in);
  ExpOnPath(in, out);
  std::memcpy(result, out, sizeof out);
}

unsigned WalkLanes(const TSearchProblem& problem, const double* inverseStep, const double* a,
                   const double* c, int lanes, int step, double low, double high, double lowerSum,
                   double bound, int records, bool* finished) {
  bool done = true;
  const auto walk = [&]() -> unsigned {
    TEVLORA_ON_ACTIVE_PATH(Walk, problem, inverseStep, a, c, lanes, step, low, high, lowerSum,
                           bound, records, &done)
  };
  const unsigned survivors = walk();
  if (finished) *finished = done;
  return survivors;
}

bool SinglePrecisionApplies(const TSearchProblem& problem) {
  const auto fits = [](double x) { return std::isfinite(x) && std::fabs(x) <= 1e15; };
  if (!fits(problem.firstRunoff)) return false;
  for (int n = 2; n <= problem.count; ++n) {
    if (!fits(problem.recharge[n]) || !fits(problem.timeStep[n]) || !fits(problem.measured[n])) {
      return false;
    }
  }
  return true;
}

namespace {
void ExpSingleOnPath(const float* in,
                     float* out){TEVLORA_ON_ACTIVE_PATH(ExpF, in, out)} std::uint64_t
    PointsOnPath(const TSearchProblem& problem, const double* inverseStep, const double* a,
                 const double* c, int count, double bound, const double* rechargeHigh,
                 int highUntil){TEVLORA_ON_ACTIVE_PATH(Points, problem, inverseStep, a, c, count,
                                                       bound, rechargeHigh,
                                                       highUntil)} std::uint64_t
    PointsSingleOnPath(const TSearchProblem& problem, const double* a, const double* c, int count,
                       double bound, const double* rechargeHigh, int highUntil) {
  TEVLORA_ON_ACTIVE_PATH(PointsF, problem, a, c, count, bound, rechargeHigh, highUntil)
}
}  // namespace

void ExpLanesSingle(const float* x, float* result) {
  alignas(64) float in[kFloatExpLanes] = {}, out[kFloatExpLanes];
  std::memcpy(in, x, kSearchLanes * sizeof(float));
  ExpSingleOnPath(in, out);
  std::memcpy(result, out, kSearchLanes * sizeof(float));
}

std::uint64_t WalkPointTrials(const TSearchProblem& problem, const double* inverseStep,
                              const double* a, const double* c, int count, double bound,
                              bool singlePrecision, const double* rechargeHigh, int highUntil) {
  return singlePrecision
             ? PointsSingleOnPath(problem, a, c, count, bound, rechargeHigh, highUntil)
             : PointsOnPath(problem, inverseStep, a, c, count, bound, rechargeHigh, highUntil);
}

void WalkLeafBoxes(const TSearchProblem& problem, const TLeafBox* leaves, int count, double bound,
                   const double* rechargeHigh, int highUntil, unsigned* alive) {
  TEVLORA_ON_ACTIVE_PATH(LeavesF, problem, leaves, count, bound, rechargeHigh, highUntil, alive)
}
