// The library's entries in registration order, one line each:
//
//   PRIMITIVE_ENTRY(domain tag, entry, generic body, SSE body, SSE2 body, SSE3-class body)
//
// Domain tags: s signal, i image, ac audio coding. Bodies are functions of the
// entry's own type in primitives::generic, ::sse, ::sse2 and ::sse3; one body
// may fill several slots. DispatchTables.cpp turns each line into a dispatch
// record, a stub and a registration, in this order.
//
// The full order of the library's 68 entries; a new entry goes in its place:
//   s:  zoveZiva zaviMul_32f zaviVectorRamp_32f zaviZero_32f revoRovara_32z
//       zaviMulC_32f dezoRide_32d zaviDFTFree_R_32f zaviFFTFree_R_32f
//       zaviDFTGetBufSize_R_32f zaviDFTInitAlloc_R_32f vaduRivuro_8v
//       zaviFFTGetBufSize_R_32f zaviFFTInitAlloc_R_32f zaviWinBartlett_32f_I
//       zaviSet_32f zaviMaxIndx_32f zaviAddC_32f_I zaviLn_32f_I
//       zaviThreshold_LT_32f_I zaviMagnitude_32fc zaviConjPerm_32fc
//       zaviDFTFwd_RToPerm_32f zaviFFTFwd_RToPerm_32f zaviMul_32f_I
//       zaviMulC_32f_I zaviMax_32f zaviAddC_32f zaviFIR_Direct_32f
//       zaviMinMax_32f zaviAutoCorr_32f zaviSum_32f zaviMalloc_32s zaviMin_32f
//       zaviCopy_8u zaviSqr_32f zaviFFTInv_CCSToR_32f zaviPolarToCart_32fc
//       zaviAdd_32f_I zaviSub_32f zaviCartToPolar_32fc zaviFFTFwd_RToCCS_32f
//       zaviMinIndx_32f zaviAbs_32f zaviFlip_32f_I duvAduZurideVizide
//       zaviSub_32f_I zaviWinHann_32f_I zaviIIRFree_32f zaviIIR_32f_I
//       zaviIIRInitAlloc_32f zaviIIRGetDlyLine_32f zaviIIR_32f
//       zaviWinBlackmanStd_32f_I zaviRandUniform_Direct_32f zaviTone_Direct_32f
//   i:  duroCopy_8u_C4R duroAlphaComp_8u_AC4R duroSet_8u_AC4R
//       zuzuZivere_8d_OZ4O duroSet_8u_C4R
//   ac: zaviSynthPQMF_MP3_32s16s zaviMDCTInv_MP3_32s zaviReQuantize_MP3_32s_I
//       zaviHuffmanDecode_MP3_1u32s zaviUnpackScaleFactors_MP3_1u8s
//       zaviUnpackSideInfo_MP3 zaviUnpackFrameHeader_MP3
//
// No include guard: the includer defines PRIMITIVE_ENTRY.

PRIMITIVE_ENTRY(s, zoveZiva,
                generic::zoveZiva, generic::zoveZiva, generic::zoveZiva, generic::zoveZiva)
PRIMITIVE_ENTRY(s, zaviMul_32f,
                generic::zaviMul_32f, sse::zaviMul_32f, sse2::zaviMul_32f,
                sse2::zaviMul_32f)
PRIMITIVE_ENTRY(s, zaviVectorRamp_32f,
                generic::zaviVectorRamp_32f, sse::zaviVectorRamp_32f, sse2::zaviVectorRamp_32f,
                sse3::zaviVectorRamp_32f)
PRIMITIVE_ENTRY(s, zaviZero_32f,
                generic::zaviZero_32f, sse::zaviZero_32f, sse2::zaviZero_32f,
                sse3::zaviZero_32f)
PRIMITIVE_ENTRY(s, revoRovara_32z,
                generic::revoRovara_32z, generic::revoRovara_32z, generic::revoRovara_32z,
                sse3::revoRovara_32z)
PRIMITIVE_ENTRY(s, zaviMulC_32f,
                generic::zaviMulC_32f, sse::zaviMulC_32f, sse2::zaviMulC_32f,
                sse3::zaviMulC_32f)
PRIMITIVE_ENTRY(s, dezoRide_32d,
                generic::dezoRide_32d, sse::dezoRide_32d, sse2::dezoRide_32d,
                sse3::dezoRide_32d)
PRIMITIVE_ENTRY(s, zaviDFTFree_R_32f,
                generic::zaviDFTFree_R_32f, sse::zaviDFTFree_R_32f, sse2::zaviDFTFree_R_32f,
                sse3::zaviDFTFree_R_32f)
PRIMITIVE_ENTRY(s, zaviFFTFree_R_32f,
                generic::zaviFFTFree_R_32f, sse::zaviFFTFree_R_32f, sse2::zaviFFTFree_R_32f,
                sse3::zaviFFTFree_R_32f)
PRIMITIVE_ENTRY(s, zaviDFTGetBufSize_R_32f,
                generic::zaviDFTGetBufSize_R_32f, generic::zaviDFTGetBufSize_R_32f,
                sse2::zaviDFTGetBufSize_R_32f, sse2::zaviDFTGetBufSize_R_32f)
PRIMITIVE_ENTRY(s, zaviDFTInitAlloc_R_32f,
                generic::zaviDFTInitAlloc_R_32f, sse::zaviDFTInitAlloc_R_32f, sse2::zaviDFTInitAlloc_R_32f,
                sse3::zaviDFTInitAlloc_R_32f)
PRIMITIVE_ENTRY(s, vaduRivuro_8v,
                generic::vaduRivuro_8v, generic::vaduRivuro_8v, generic::vaduRivuro_8v,
                generic::vaduRivuro_8v)
PRIMITIVE_ENTRY(s, zaviFFTGetBufSize_R_32f,
                generic::zaviFFTGetBufSize_R_32f, generic::zaviFFTGetBufSize_R_32f,
                sse2::zaviFFTGetBufSize_R_32f, sse2::zaviFFTGetBufSize_R_32f)
PRIMITIVE_ENTRY(s, zaviFFTInitAlloc_R_32f,
                generic::zaviFFTInitAlloc_R_32f, sse::zaviFFTInitAlloc_R_32f, sse2::zaviFFTInitAlloc_R_32f,
                sse3::zaviFFTInitAlloc_R_32f)
PRIMITIVE_ENTRY(s, zaviWinBartlett_32f_I,
                generic::zaviWinBartlett_32f_I, sse::zaviWinBartlett_32f_I, sse2::zaviWinBartlett_32f_I, sse3::zaviWinBartlett_32f_I)
PRIMITIVE_ENTRY(s, zaviSet_32f,
                generic::zaviSet_32f, sse::zaviSet_32f, sse2::zaviSet_32f,
                sse3::zaviSet_32f)
PRIMITIVE_ENTRY(s, zaviMaxIndx_32f,
                generic::zaviMaxIndx_32f, sse::zaviMaxIndx_32f, sse2::zaviMaxIndx_32f,
                sse3::zaviMaxIndx_32f)
PRIMITIVE_ENTRY(s, zaviAddC_32f_I,
                generic::zaviAddC_32f_I, sse::zaviAddC_32f_I, sse2::zaviAddC_32f_I,
                sse3::zaviAddC_32f_I)
PRIMITIVE_ENTRY(s, zaviLn_32f_I,
                generic::zaviLn_32f_I, sse::zaviLn_32f_I, sse2::zaviLn_32f_I,
                sse3::zaviLn_32f_I)
PRIMITIVE_ENTRY(s, zaviThreshold_LT_32f_I,
                generic::zaviThreshold_LT_32f_I, sse::zaviThreshold_LT_32f_I, sse2::zaviThreshold_LT_32f_I,
                sse3::zaviThreshold_LT_32f_I)
PRIMITIVE_ENTRY(s, zaviMagnitude_32fc,
                generic::zaviMagnitude_32fc, sse::zaviMagnitude_32fc, sse2::zaviMagnitude_32fc, sse3::zaviMagnitude_32fc)
PRIMITIVE_ENTRY(s, zaviConjPerm_32fc,
                generic::zaviConjPerm_32fc, sse::zaviConjPerm_32fc, sse2::zaviConjPerm_32fc,
                sse3::zaviConjPerm_32fc)
PRIMITIVE_ENTRY(s, zaviDFTFwd_RToPerm_32f,
                generic::zaviDFTFwd_RToPerm_32f, sse::zaviDFTFwd_RToPerm_32f, sse2::zaviDFTFwd_RToPerm_32f,
                sse3::zaviDFTFwd_RToPerm_32f)
PRIMITIVE_ENTRY(s, zaviFFTFwd_RToPerm_32f,
                generic::zaviFFTFwd_RToPerm_32f, sse::zaviFFTFwd_RToPerm_32f, sse2::zaviFFTFwd_RToPerm_32f,
                sse3::zaviFFTFwd_RToPerm_32f)
PRIMITIVE_ENTRY(s, zaviMul_32f_I,
                generic::zaviMul_32f_I, sse::zaviMul_32f_I, sse2::zaviMul_32f_I,
                sse2::zaviMul_32f_I)
PRIMITIVE_ENTRY(s, zaviMulC_32f_I,
                generic::zaviMulC_32f_I, sse::zaviMulC_32f_I, sse2::zaviMulC_32f_I,
                sse3::zaviMulC_32f_I)
PRIMITIVE_ENTRY(s, zaviMax_32f,
                generic::zaviMax_32f, sse::zaviMax_32f, sse2::zaviMax_32f,
                sse3::zaviMax_32f)
PRIMITIVE_ENTRY(s, zaviAddC_32f,
                generic::zaviAddC_32f, sse::zaviAddC_32f, sse2::zaviAddC_32f,
                sse3::zaviAddC_32f)
PRIMITIVE_ENTRY(s, zaviFIR_Direct_32f,
                generic::zaviFIR_Direct_32f, sse::zaviFIR_Direct_32f, sse2::zaviFIR_Direct_32f, sse3::zaviFIR_Direct_32f)
PRIMITIVE_ENTRY(s, zaviMinMax_32f,
                generic::zaviMinMax_32f, sse::zaviMinMax_32f, sse2::zaviMinMax_32f,
                sse3::zaviMinMax_32f)
PRIMITIVE_ENTRY(s, zaviAutoCorr_32f,
                generic::zaviAutoCorr_32f, sse::zaviAutoCorr_32f, sse2::zaviAutoCorr_32f,
                sse3::zaviAutoCorr_32f)
PRIMITIVE_ENTRY(s, zaviSum_32f,
                generic::zaviSum_32f, sse::zaviSum_32f, sse2::zaviSum_32f,
                sse3::zaviSum_32f)
PRIMITIVE_ENTRY(s, zaviMalloc_32s,
                generic::zaviMalloc_32s, generic::zaviMalloc_32s, generic::zaviMalloc_32s,
                sse3::zaviMalloc_32s)
PRIMITIVE_ENTRY(s, zaviMin_32f,
                generic::zaviMin_32f, sse::zaviMin_32f, sse2::zaviMin_32f,
                sse3::zaviMin_32f)
PRIMITIVE_ENTRY(s, zaviCopy_8u,
                generic::zaviCopy_8u, sse::zaviCopy_8u, sse2::zaviCopy_8u,
                sse3::zaviCopy_8u)
PRIMITIVE_ENTRY(s, zaviSqr_32f,
                generic::zaviSqr_32f, sse::zaviSqr_32f, sse2::zaviSqr_32f,
                sse3::zaviSqr_32f)
PRIMITIVE_ENTRY(s, zaviFFTInv_CCSToR_32f,
                generic::zaviFFTInv_CCSToR_32f, sse::zaviFFTInv_CCSToR_32f, sse2::zaviFFTInv_CCSToR_32f,
                sse3::zaviFFTInv_CCSToR_32f)
PRIMITIVE_ENTRY(s, zaviPolarToCart_32fc,
                generic::zaviPolarToCart_32fc, sse::zaviPolarToCart_32fc, sse2::zaviPolarToCart_32fc, sse3::zaviPolarToCart_32fc)
PRIMITIVE_ENTRY(s, zaviAdd_32f_I,
                generic::zaviAdd_32f_I, sse::zaviAdd_32f_I, sse2::zaviAdd_32f_I,
                sse2::zaviAdd_32f_I)
PRIMITIVE_ENTRY(s, zaviSub_32f,
                generic::zaviSub_32f, sse::zaviSub_32f, sse2::zaviSub_32f,
                sse2::zaviSub_32f)
PRIMITIVE_ENTRY(s, zaviCartToPolar_32fc,
                generic::zaviCartToPolar_32fc, sse::zaviCartToPolar_32fc, sse2::zaviCartToPolar_32fc, sse3::zaviCartToPolar_32fc)
PRIMITIVE_ENTRY(s, zaviFFTFwd_RToCCS_32f,
                generic::zaviFFTFwd_RToCCS_32f, sse::zaviFFTFwd_RToCCS_32f, sse2::zaviFFTFwd_RToCCS_32f,
                sse3::zaviFFTFwd_RToCCS_32f)
PRIMITIVE_ENTRY(s, zaviMinIndx_32f,
                generic::zaviMinIndx_32f, sse::zaviMinIndx_32f, sse2::zaviMinIndx_32f,
                sse3::zaviMinIndx_32f)
PRIMITIVE_ENTRY(s, zaviAbs_32f,
                generic::zaviAbs_32f, sse::zaviAbs_32f, sse2::zaviAbs_32f,
                sse3::zaviAbs_32f)
PRIMITIVE_ENTRY(s, zaviFlip_32f_I,
                generic::zaviFlip_32f_I, sse::zaviFlip_32f_I, sse2::zaviFlip_32f_I,
                sse3::zaviFlip_32f_I)
PRIMITIVE_ENTRY(s, duvAduZurideVizide,
                generic::duvAduZurideVizide, generic::duvAduZurideVizide,
                generic::duvAduZurideVizide, generic::duvAduZurideVizide)
PRIMITIVE_ENTRY(s, zaviSub_32f_I,
                generic::zaviSub_32f_I, sse::zaviSub_32f_I, sse2::zaviSub_32f_I,
                sse2::zaviSub_32f_I)
PRIMITIVE_ENTRY(s, zaviWinHann_32f_I,
                generic::zaviWinHann_32f_I, sse::zaviWinHann_32f_I, sse2::zaviWinHann_32f_I, sse3::zaviWinHann_32f_I)
PRIMITIVE_ENTRY(s, zaviIIRFree_32f,
                generic::zaviIIRFree_32f, generic::zaviIIRFree_32f, sse2::zaviIIRFree_32f,
                sse2::zaviIIRFree_32f)
PRIMITIVE_ENTRY(s, zaviIIR_32f_I,
                generic::zaviIIR_32f_I, sse::zaviIIR_32f_I, sse2::zaviIIR_32f_I, sse3::zaviIIR_32f_I)
PRIMITIVE_ENTRY(s, zaviIIRInitAlloc_32f,
                generic::zaviIIRInitAlloc_32f, sse::zaviIIRInitAlloc_32f, sse2::zaviIIRInitAlloc_32f,
                sse3::zaviIIRInitAlloc_32f)
PRIMITIVE_ENTRY(s, zaviIIRGetDlyLine_32f,
                generic::zaviIIRGetDlyLine_32f, sse::zaviIIRGetDlyLine_32f, sse2::zaviIIRGetDlyLine_32f,
                sse3::zaviIIRGetDlyLine_32f)
PRIMITIVE_ENTRY(s, zaviIIR_32f,
                generic::zaviIIR_32f, sse::zaviIIR_32f, sse2::zaviIIR_32f, sse3::zaviIIR_32f)
PRIMITIVE_ENTRY(s, zaviWinBlackmanStd_32f_I,
                generic::zaviWinBlackmanStd_32f_I, sse::zaviWinBlackmanStd_32f_I, sse2::zaviWinBlackmanStd_32f_I, sse3::zaviWinBlackmanStd_32f_I)
PRIMITIVE_ENTRY(s, zaviRandUniform_Direct_32f,
                generic::zaviRandUniform_Direct_32f, sse::zaviRandUniform_Direct_32f, sse2::zaviRandUniform_Direct_32f, sse3::zaviRandUniform_Direct_32f)
PRIMITIVE_ENTRY(s, zaviTone_Direct_32f,
                generic::zaviTone_Direct_32f, sse::zaviTone_Direct_32f, sse2::zaviTone_Direct_32f, sse3::zaviTone_Direct_32f)
PRIMITIVE_ENTRY(i, duroCopy_8u_C4R,
                generic::duroCopy_8u_C4R, sse::duroCopy_8u_C4R, sse2::duroCopy_8u_C4R, sse3::duroCopy_8u_C4R)
PRIMITIVE_ENTRY(i, duroAlphaComp_8u_AC4R,
                generic::duroAlphaComp_8u_AC4R, sse::duroAlphaComp_8u_AC4R, sse2::duroAlphaComp_8u_AC4R,
                sse3::duroAlphaComp_8u_AC4R)
PRIMITIVE_ENTRY(i, duroSet_8u_AC4R,
                generic::duroSet_8u_AC4R, sse::duroSet_8u_AC4R, sse2::duroSet_8u_AC4R, sse3::duroSet_8u_AC4R)
PRIMITIVE_ENTRY(i, zuzuZivere_8d_OZ4O,
                generic::zuzuZivere_8d_OZ4O, sse::zuzuZivere_8d_OZ4O, sse2::zuzuZivere_8d_OZ4O,
                sse3::zuzuZivere_8d_OZ4O)
PRIMITIVE_ENTRY(i, duroSet_8u_C4R,
                generic::duroSet_8u_C4R, sse::duroSet_8u_C4R, sse2::duroSet_8u_C4R, sse3::duroSet_8u_C4R)
PRIMITIVE_ENTRY(ac, zaviSynthPQMF_MP3_32s16s,
                generic::zaviSynthPQMF_MP3_32s16s, sse::zaviSynthPQMF_MP3_32s16s,
                sse2::zaviSynthPQMF_MP3_32s16s, sse3::zaviSynthPQMF_MP3_32s16s)
PRIMITIVE_ENTRY(ac, zaviMDCTInv_MP3_32s,
                generic::zaviMDCTInv_MP3_32s, sse::zaviMDCTInv_MP3_32s,
                sse2::zaviMDCTInv_MP3_32s, sse3::zaviMDCTInv_MP3_32s)
PRIMITIVE_ENTRY(ac, zaviReQuantize_MP3_32s_I,
                generic::zaviReQuantize_MP3_32s_I, sse::zaviReQuantize_MP3_32s_I,
                sse2::zaviReQuantize_MP3_32s_I, sse3::zaviReQuantize_MP3_32s_I)
PRIMITIVE_ENTRY(ac, zaviHuffmanDecode_MP3_1u32s,
                generic::zaviHuffmanDecode_MP3_1u32s, sse::zaviHuffmanDecode_MP3_1u32s,
                sse2::zaviHuffmanDecode_MP3_1u32s, sse3::zaviHuffmanDecode_MP3_1u32s)
PRIMITIVE_ENTRY(ac, zaviUnpackScaleFactors_MP3_1u8s,
                generic::zaviUnpackScaleFactors_MP3_1u8s, sse::zaviUnpackScaleFactors_MP3_1u8s,
                sse2::zaviUnpackScaleFactors_MP3_1u8s, sse3::zaviUnpackScaleFactors_MP3_1u8s)
PRIMITIVE_ENTRY(ac, zaviUnpackSideInfo_MP3,
                generic::zaviUnpackSideInfo_MP3, sse::zaviUnpackSideInfo_MP3,
                sse2::zaviUnpackSideInfo_MP3, sse3::zaviUnpackSideInfo_MP3)
PRIMITIVE_ENTRY(ac, zaviUnpackFrameHeader_MP3,
                generic::zaviUnpackFrameHeader_MP3, generic::zaviUnpackFrameHeader_MP3,
                sse2::zaviUnpackFrameHeader_MP3, sse2::zaviUnpackFrameHeader_MP3)
