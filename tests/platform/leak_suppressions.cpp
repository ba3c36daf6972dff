// ALSA loads its plug-ins (pulse, a52 with libavcodec, jack ...) with dlopen and unloads them
// when PortAudio stops; their libraries' constructors leave small allocations behind, which
// LeakSanitizer reports at exit. Allocations made while shared libraries' constructors run
// (under _dl_init) are never this program's. Those libraries have no frame pointers, so the
// stack only reaches _dl_init with the slow unwinder.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

// The a52 plug-in allocates its hardware parameters when it is opened and never frees them;
// PortAudio opens every ALSA device once to list it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:_dl_init\nleak:snd_pcm_hw_params_malloc\n";
}
