// The benchmark's yardstick: the plain perturbation loop in doubles, one
// exact step after another, no jumps, no cycle test, no rescaling, so it
// draws views with pixels down to 1e-300 only. It reads the deep program's
// wide layout (render/deep_layout.h: texel 2m holds Z_m as two doubles) and
// rebases as the product does. Built with JULIA 0 or 1 after
// #version 400 compatibility.

uniform usamplerBuffer orbit;
uniform int refStart[2];
uniform int refEnd[2];
uniform float limit;
uniform vec2 pixelOffset;  // render/deep_layout.h, DeepPixel
uniform float stride;
uniform dvec2 pixelSize;
uniform int pixelExponent;

dvec2 referenceAt(int step)
{
    uvec4 w = texelFetch(orbit, 2 * step);
    return dvec2(packDouble2x32(w.xy), packDouble2x32(w.zw));
}

dvec2 cmul(dvec2 a, dvec2 b)
{
    return dvec2(a.x * b.x - a.y * b.y, a.x * b.y + a.y * b.x);
}

void main()
{
    dvec2 dc = dvec2(floor(gl_FragCoord.xy) * stride + pixelOffset) * ldexp(pixelSize, ivec2(pixelExponent));
    int base = refStart[0];
    int end = refEnd[0];
    int lim = int(limit);
#if JULIA
    dvec2 d = dc;
#else
    dvec2 d = dvec2(0.0);
#endif
    int m = 0;
    int n = 0;
    dvec2 Z = referenceAt(base);
    float r2 = 0.0;
    bool escaped = false;
    while (n < lim) {
#if JULIA
        d = cmul(2.0LF * Z + d, d);
#else
        d = cmul(2.0LF * Z + d, d) + dc;
#endif
        ++m;
        ++n;
        Z = referenceAt(base + m);
        dvec2 full = Z + d;
        r2 = float(dot(full, full));
        if (r2 > 256.0) {
            escaped = true;
            break;
        }
        if (dot(full, full) < dot(d, d) || m == end) {
            d = full;
            m = 0;
#if JULIA
            base = refStart[1];
            end = refEnd[1];
#endif
            Z = dvec2(0.0);
        }
    }
    gl_FragColor = vec4(escaped ? max(float(n) - log2(log2(r2)) + 3.0, 0.0) : -1.0, 0.0, 0.0, 1.0);
}
