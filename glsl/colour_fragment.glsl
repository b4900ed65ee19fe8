// Colours a picture from its continuous escape counts (glsl/deep_fragment
// writes them; negative for interior points) through the window's colour
// table:
//     s = log((mu - mu0) / k + 1) / log((mu1 - mu0) / k + 1), clamped to 0 .. 1
// (deep/colour_depth.h says how mu0, mu1 and k follow the picture); with
// mu0 = 0, k = 1 and mu1 the limit it is the float programs' log(mu + 1) /
// log(limit + 1). Interior points take the last texel, as there. k is at
// most 16 (mu1 - mu0), so the logarithms' arguments stay where a float
// resolves them.
//
// Pixels of the picture being drawn that show nothing yet (a count of
// 1e30 or more: render/refine_gl.h) show the last picture where it lies in
// the new view (previous, at previousScale * pixel + previousOffset), or
// black outside it and where that shows nothing either.

uniform sampler1D colourTable;  // unit 0, as the float programs read it
uniform sampler2D counts;       // the picture being drawn
uniform sampler2D previous;     // the last picture
uniform vec3 range;             // mu0, mu1, k
uniform vec3 previousRange;
uniform vec2 countsOrigin;      // gl_FragCoord + countsOrigin: the pixel of `counts`
uniform vec2 previousScale;
uniform vec2 previousOffset;
uniform float previousValid;    // 0: there is no last picture

const float notDrawn = 1e29;

vec4 colourOf(float mu, vec3 r)
{
    float s = mu < 0.0 ? 1.0 : clamp(log(max(mu - r.x, 0.0) / r.z + 1.0) / log((r.y - r.x) / r.z + 1.0), 0.0, 1.0);
    return vec4(texture1D(colourTable, (0.5 + s * 511.0) / 512.0).rgb, 1.0);
}

void main()
{
    float mu = texelFetch(counts, ivec2(gl_FragCoord.xy + countsOrigin), 0).r;
    if (mu < notDrawn) {
        gl_FragColor = colourOf(mu, range);
        return;
    }
    vec2 q = floor(gl_FragCoord.xy * previousScale + previousOffset);
    ivec2 size = textureSize(previous, 0);
    float old = notDrawn;
    if (previousValid != 0.0 && all(greaterThanEqual(q, vec2(0.0))) && q.x < float(size.x) && q.y < float(size.y))
        old = texelFetch(previous, ivec2(q), 0).r;
    gl_FragColor = old < notDrawn ? colourOf(old, previousRange) : vec4(0.0, 0.0, 0.0, 1.0);
}
