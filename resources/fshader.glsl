#ifdef GL_ES
// Desktop GLSL has no precision qualifiers; ES requires a float default.
precision mediump int;
precision mediump float;
#endif

// Later GLSL versions reserve the name "texture"; this file has no version
// line so that it stays legal.
uniform sampler2D texture;

varying vec2 v_texcoord;

void main()
{
    gl_FragColor = texture2D(texture, v_texcoord);
}
