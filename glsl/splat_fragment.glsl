// Puts the counts of a part of a deep picture, drawn compactly (sample
// (i, j) at texel (i, j) of `samples`), into the picture's count target:
// each sample at its pixel (depth 0: exact), and over its block, the
// square of its step around it (depth block / 16), where nothing finer is
// yet. Pixels of the coarse pass's reach outside every block take the
// nearest sample at depth 9 / 16: only where nothing at all is. The depth
// test (less or equal) keeps exact pixels and finer blocks, and lets a
// block drawn again (the samples put back after a move, whose blocks the
// move cut) replace what its kind left there. render/schedule.cpp's
// splatAt is the same rule in C++.

uniform sampler2D samples;
uniform ivec2 first;    // the picture pixel of sample (0, 0)
uniform ivec2 size;     // samples across and up
uniform int step;       // pixels between samples
uniform int block;      // the side of a sample's square
uniform int reachAll;   // 1: the coarse pass, whose samples reach empty pixels beyond their blocks

int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void main()
{
    ivec2 rel = ivec2(gl_FragCoord.xy) - first;
    int below = block / 2, above = block - below;
    ivec2 k = clamp(ivec2(floorDiv(rel.x + below, step), floorDiv(rel.y + below, step)), ivec2(0), size - 1);
    ivec2 local = rel - k * step;
    bool inBlock = all(greaterThanEqual(local, ivec2(-below))) && all(lessThan(local, ivec2(above)));
    if (!inBlock && reachAll == 0) discard;
    gl_FragDepth = local == ivec2(0) ? 0.0 : inBlock ? float(block) / 16.0 : 9.0 / 16.0;
    gl_FragColor = vec4(texelFetch(samples, k, 0).r, 0.0, 0.0, 1.0);
}
