// The dispatch record (<entry>_dispatch) and registration record
// (<entry>_registration) of every entry in EntryList.h, with the declarations
// of every build body the list names, for code that needs a particular
// build's body (the registration unit, tests, benchmarks).
#pragma once

#include "primitives/core/Dispatcher.h"

// The headers that declare the bodies named in EntryList.h.
#include "primitives/core/AlignedMemory.h"
#include "primitives/core/StatusTexts.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/RealFftSpec.h"
#include "primitives/filter/FirDirect.h"
#include "primitives/filter/IirState.h"
#include "primitives/image/AlphaComposite.h"
#include "primitives/image/ImageCopyFill.h"
#include "primitives/mp3/Mp3Bodies.h"
#include "primitives/mp3/Mp3SignalBodies.h"
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/vector/ComplexConversion.h"
#include "primitives/vector/SignalGenerator.h"
#include "primitives/vector/VectorBuilds.h"
#include "primitives/vector/WindowFunction.h"

#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3)                                   \
    extern "C" __attribute__((visibility("hidden")))                                           \
    const primitives::DispatchRecord<decltype(::name)> name##_dispatch;                        \
    namespace primitives {                                                                     \
    extern __attribute__((visibility("hidden"))) RegistrationRecord name##_registration;       \
    }
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY
