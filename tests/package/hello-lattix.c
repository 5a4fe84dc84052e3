/* A program of another project using the installed Lattix: it encodes a text file into a symbol. */
#include <lattix.h>
#include <stdio.h>
#include <string.h>

int main(void)
{
    FILE* text = fopen("hello.txt", "wb");
    if (!text || fputs("HELLO LATTIX", text) < 0 || fclose(text) != 0)
        return 2;
    SetConFile("hello.ini");
    BSTR result = Lattix("hello.txt");
    const int ok = result && SysStringByteLen(result) > 0 && strncmp(result, "TempPdf.bmp", 11) == 0;
    SysFreeString(result);
    puts(ok ? "encoded" : "failed");
    return ok ? 0 : 1;
}
