// Qt WebEngine's Chromium deletes an object through a pointer to another type (in
// WebContentsAdapter's destructor); that code is not ours, so the browser's tests leave this
// one check off. ASAN_OPTIONS still overrides it, and sets everything else.
extern "C" const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}
