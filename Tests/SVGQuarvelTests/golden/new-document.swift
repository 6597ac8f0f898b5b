/**
 * Generated from SVG:
 * 
 *     <svg xmlns="http://www.w3.org/2000/svg"
 *          viewBox="0 0 100 100">
 *       <rect x="10" y="10"
 *             width="80" height="80"
 *             fill="gold" stroke="blue"
 *             stroke-width="4" />
 *     </svg>
 * 
 */
import SwiftUI

// SVG
struct Group1: View {

  static let viewBox = CGRect(x: 0.0, y: 0.0, width: 100, height: 100)

  // Nested Groups and Shapes

  struct Rectangle1: View {

    static let intrinsicSize = CGSize(width: 80, height: 80)
    static let origin        = CGPoint(x: 10, y: 10)

    var body: some View {
      ZStack {
        Rectangle()
          .fill(Color(red: 1, green: 0.8431, blue: 0))
        Rectangle()
          .stroke(Color.blue, style: StrokeStyle(lineWidth: 4))
      }
    }
  }

  var body: some View {
    GeometryReader { proxy in
      Rectangle1()
        .frame(width: 80, height: 80, alignment: .topLeading)
        .padding(.leading, 10)
        .padding(.top, 10)
        .frame(width: Self.viewBox.width, height: Self.viewBox.height,
               alignment: .topLeading)
        .scaleEffect(x: proxy.size.width  / Self.viewBox.width,
                     y: proxy.size.height / Self.viewBox.height)
        .frame(width: proxy.size.width, height: proxy.size.height)
    }
  }
}

struct Group1_Previews: PreviewProvider {
  static var previews: some View {
    VStack {
      Group1()
        .frame(width  : Group1.viewBox.width,
               height : Group1.viewBox.height)
        .background(Color.clear.border(Color.green))
        .padding()
      Text("ViewBox: 0.0,0.0 100.0x100.0").padding(.bottom)
    }
  }
}
