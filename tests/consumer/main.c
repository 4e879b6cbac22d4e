/* Codes four 16-bit samples and decodes them again through an installed Reduct. */
#include <reduct/codec.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    uint16_t samples[4] = {5, 5, 5, 9};
    uint8_t coded[16] = {0}, back[8];
    CodecResult r = Encode(samples, sizeof samples, CM_WORD16_RUN, 0, coded, sizeof coded);
    if (r.status != CODEC_OK) return 1;
    CodecResult d = Decode(coded, r.length, CM_WORD16_RUN, back, sizeof back);
    if (d.status != CODEC_OK || d.length != 8 || memcmp(back, samples, 8) != 0) return 1;
    printf("consumer: 8 bytes -> %d coded bytes -> 8 bytes back\n", (int)r.length);
    return 0;
}
