// Colours a picture from its continuous escape counts (glsl/deep_fragment
// writes them; -1 for interior points) through the window's colour table:
//     s = log(mu - mu0 + 1) / log(limit - mu0 + 1)
// mu0 following the picture's smallest count, so a narrow band of counts
// deep down still spreads over the table; with mu0 = 0 it is the float
// programs' log(mu + 1) / log(limit + 1). Interior points take the last
// texel, as there.
//
// Pixels that the picture being drawn has not reached yet show the last
// finished picture where it lies in the new view (previous, at
// previousScale * pixel + previousOffset), or black outside it.

uniform sampler1D colourTable;  // unit 0, as the float programs read it
uniform sampler2D counts;       // the picture being drawn
uniform sampler2D previous;     // the last finished picture
uniform float limit;
uniform float offset;           // mu0
uniform float previousLimit;
uniform float previousOffset0;
uniform ivec4 done;             // drawn so far: rows done.x .. done.w - 1 whole, and rows done.y .. done.x - 1 left of column done.z
uniform vec2 countsOrigin;      // gl_FragCoord + countsOrigin: the pixel of `counts`
uniform vec2 previousScale;
uniform vec2 previousOffset;
uniform float previousValid;    // 0: there is no finished picture

vec4 colourOf(float mu, float lim, float mu0)
{
    float s = mu < 0.0 ? 1.0 : clamp(log(max(mu - mu0, 0.0) + 1.0) / log(lim - mu0 + 1.0), 0.0, 1.0);
    return vec4(texture1D(colourTable, (0.5 + s * 511.0) / 512.0).rgb, 1.0);
}

void main()
{
    ivec2 p = ivec2(gl_FragCoord.xy + countsOrigin);
    bool drawn = (p.y >= done.x && p.y < done.w) || (p.y >= done.y && p.y < done.x && p.x < done.z);
    if (drawn) {
        gl_FragColor = colourOf(texelFetch(counts, p, 0).r, limit, offset);
        return;
    }
    vec2 q = floor(gl_FragCoord.xy * previousScale + previousOffset);
    ivec2 size = textureSize(previous, 0);
    if (previousValid == 0.0 || any(lessThan(q, vec2(0.0))) || q.x >= float(size.x) || q.y >= float(size.y)) {
        gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
        return;
    }
    gl_FragColor = colourOf(texelFetch(previous, ivec2(q), 0).r, previousLimit, previousOffset0);
}
