/* A whole host: shows the use-right survey table of a parcel and returns when
 * the surveyor closes it.  cc host.c $(pkg-config --cflags --libs zarnhost) */
#include <stdio.h>
#include <zarn/Zarndcbdll.h>

int main(int argc, char **argv)
{
    IZarndjdcbshow *show = NULL;
    HRESULT hr = ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, (void **)&show);
    if (FAILED(hr)) {
        fprintf(stderr, "%s\n", ZarnLastError());
        return 1;
    }
    BSTR unit = ZarnAllocStringUtf8(argc > 1 ? argv[1] : "320102001001");
    BSTR parcel = ZarnAllocStringUtf8(argc > 2 ? argv[2] : "0010010001");
    /* 0: the use-right table (1: ownership); 0: no window of the host's own.
     * The call blocks while the form is open and returns S_OK. */
    show->lpVtbl->showdcbfrm(show, unit, parcel, 0, 0);
    SysFreeString(unit);
    SysFreeString(parcel);
    show->lpVtbl->Release(show);
    return 0;
}
